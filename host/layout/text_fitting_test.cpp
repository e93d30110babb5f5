#include "host/layout/text_fitting.hpp"

#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/fake_text_measurer.hpp"

namespace velto::host::layout {
namespace {

using platform::ui::Font;

// 6 pt a character, 10 pt a line (see FakeTextMeasurer).
const TextStyle kStyle{Font::system(10)};

TEST(FitText, KeepsShrinksOrTruncates) {
  struct Case {
    std::string text;
    double minimumScale;
    std::optional<double> width;
    const char* shown;
    double scale;
  };
  // "abcdefghij" is 60 pt wide.
  const Case cases[] = {
      {"abcdefghij", 0.75, std::nullopt, "abcdefghij", 1.0},
      {"abcdefghij", 0.75, 60, "abcdefghij", 1.0},
      {"abcdefghij", 0.75, 54, "abcdefghij", 0.9},
      {"abcdefghij", 0.75, 45, "abcdefghij", 0.75},
      {"abcdefghij", 0.75, 40, "abcdefg\u2026", 0.75},  // 53.3 pt at full size
      {"abcdefghij", 1.0, 59, "abcdefgh\u2026", 1.0},   // "…" is a character too
      {"abcdefghij", 1.0, 5, "", 1.0},                  // not even "…" fits
      {"ab  cdefgh", 1.0, 33, "ab\u2026", 1.0},         // spaces before "…" go
      {"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", 1.0, 24, "\u00e9\u00e9\u00e9\u2026", 1.0},
      {"", 1.0, 0, "", 1.0},
  };
  const FakeTextMeasurer measurer;
  for (const Case& c : cases) {
    MeasureCache cache(measurer);
    const TextFit fit = fitText(c.text, kStyle, c.minimumScale, c.width, cache);
    EXPECT_EQ(c.shown, fit.text) << c.text << " in " << c.width.value_or(-1);
    EXPECT_DOUBLE_EQ(c.scale, fit.scale) << c.text << " in " << c.width.value_or(-1);
    if (c.width) {
      EXPECT_LE(fit.size().width, *c.width + 1e-9) << c.text;
    }
    EXPECT_DOUBLE_EQ(FakeTextMeasurer::widthOf(fit.text, 10), fit.metrics.width);
  }
}

TEST(FitText, MeasuresEachCandidateOnceThroughTheCache) {
  const FakeTextMeasurer measurer;
  MeasureCache cache(measurer);
  const std::string text(200, 'w');
  fitText(text, kStyle, 1.0, 100, cache);
  fitText(text, kStyle, 1.0, 100, cache);
  EXPECT_EQ(1, measurer.calls(text, 10));
  EXPECT_EQ(1, measurer.calls(std::string(15, 'w') + "\u2026", 10));
}

/// A measurer that answers nonsense, as a broken font could.
class HostileMeasurer final : public TextMeasurer {
 public:
  TextMetrics measure(std::string_view, const TextStyle&) const override {
    return {std::numeric_limits<double>::quiet_NaN(), -5, std::numeric_limits<double>::infinity()};
  }
};

TEST(MeasureCache, ReadsLengthsThatAreNotUsableAsZero) {
  const HostileMeasurer measurer;
  MeasureCache cache(measurer);
  const TextMetrics metrics = cache.measure("x", kStyle);
  EXPECT_EQ(0.0, metrics.width);
  EXPECT_EQ(0.0, metrics.ascent);
  EXPECT_EQ(0.0, metrics.descent);
  const TextFit fit = fitText("x", kStyle, 0.5, 10, cache);
  EXPECT_EQ("x", fit.text);
  EXPECT_EQ(1.0, fit.scale);
}

}  // namespace
}  // namespace velto::host::layout
