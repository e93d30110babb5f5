#include "host/layout/sanitize.hpp"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace velto::host::layout {
namespace {

TEST(OneLineText, ShowsEveryKindOfLineBreakAsOneSpace) {
  struct Case {
    const char* text;
    const char* shown;
  };
  const Case cases[] = {
      {"Client call\nwith notes", "Client call with notes"},
      {"a\r\nb", "a b"},
      {"a\rb", "a b"},
      {"a\n\nb", "a  b"},
      {"a\r\n\r\nb", "a  b"},
      {"a\u2028b", "a b"},
      {"a\u2029b", "a b"},
      {"a\u0085b", "a b"},
      {"a\vb\fc", "a b c"},
      {"a\tb", "a b"},
      {"trailing\n", "trailing "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.shown, oneLineText(c.text)) << c.text;
  }
}

TEST(OneLineText, DropsOtherControlCharacters) {
  struct Case {
    std::string text;
    const char* shown;
  };
  const Case cases[] = {
      {"a\x01"
       "b",
       "ab"},
      {"\x1b[31mred", "[31mred"},
      {"del\x7f", "del"},
      {"c1\u009b\u0080", "c1"},
      {std::string("nul\0byte", 8), "nulbyte"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.shown, oneLineText(c.text)) << c.text;
  }
}

TEST(OneLineText, ReplacesMalformedUtf8AndKeepsTheRest) {
  struct Case {
    std::string text;
    const char* shown;
  };
  const Case cases[] = {
      {"a\xff"
       "b",
       "a\uFFFD"
       "b"},
      {"x\xc0\xafy", "x\uFFFD\uFFFDy"},            // an overlong "/"
      {"s\xed\xa0\x80!", "s\uFFFD\uFFFD\uFFFD!"},  // a surrogate
      {"cut\xe2\x82", "cut\uFFFD\uFFFD"},
      {"\u00e9\U0001F600\u0301", "\u00e9\U0001F600\u0301"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.shown, oneLineText(c.text)) << c.text;
  }
}

TEST(OneLineText, CutsLongTextsAtACharacterBoundary) {
  std::string marks = "e";
  for (int i = 0; i < 10'000; ++i) {
    marks += "\u0301";
  }
  const std::string shown = oneLineText(marks);
  EXPECT_LE(shown.size(), kMaxTextBytes);
  EXPECT_GT(shown.size(), kMaxTextBytes - 2);
  EXPECT_EQ(shown, oneLineText(shown));  // whole characters only
}

TEST(Lengths, AreClampedAndWhatIsNotFiniteIsNotGiven) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(std::nullopt, lengthOrNone(std::nan("")));
  EXPECT_EQ(std::nullopt, lengthOrNone(inf));
  EXPECT_EQ(0.0, lengthOrNone(-4.0));
  EXPECT_EQ(kMaxLength, lengthOrNone(1e300));
  EXPECT_EQ(7.0, lengthOr(inf, 7.0));
  EXPECT_EQ(0.0, unitCoordinate(std::nan("")));
  EXPECT_EQ(-kMaxLength, unitCoordinate(-1e300));
  EXPECT_EQ(0.0, sanitizedTracking(inf));
  EXPECT_EQ(kDefaultFontSize, sanitizedFont(platform::ui::Font::system(std::nan(""))).size);
  EXPECT_EQ(1.0, sanitizedFont(platform::ui::Font::system(-3)).size);
}

}  // namespace
}  // namespace velto::host::layout
