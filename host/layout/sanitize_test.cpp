#include "host/layout/sanitize.hpp"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace velto::host::layout {
namespace {

// How each character is classed is readLineCharacter's (below); these rows show
// what a line makes of each class.
TEST(OneLineText, ShowsBreaksAsSpacesDropsControlsAndReplacesMalformedBytes) {
  struct Case {
    std::string text;
    const char* shown;
  };
  const Case cases[] = {
      {"Client call\nwith notes", "Client call with notes"},
      {"a\r\nb", "a b"},
      {"a\rb", "a b"},
      {"a\n\nb", "a  b"},
      {"a\r\n\r\nb", "a  b"},
      {"a\u2028b", "a b"},
      {"a\vb\fc", "a b c"},
      {"a\tb", "a b"},
      {"trailing\n", "trailing "},
      {"\x1b[31mred", "[31mred"},
      {"c1\u009b\u0080", "c1"},
      {std::string("nul\0byte", 8), "nulbyte"},
      {"x\xc0\xafy", "x\uFFFD\uFFFDy"},  // an overlong "/"
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

TEST(ReadLineCharacter, SortsEachCharacterByWhatALineMakesOfIt) {
  using enum LineCharacterKind;
  struct Case {
    std::string bytes;
    LineCharacterKind kind;
    char32_t codePoint;
    std::size_t length;
  };
  const Case cases[] = {
      {"a", text, U'a', 1},
      {"\u00e9", text, 0xE9, 2},
      {"\uFFFD", text, 0xFFFD, 3},
      {"\U0001F600", text, 0x1F600, 4},
      {"\t", blank, U'\t', 1},
      {"\u2028", blank, 0x2028, 3},
      {"\u2029", blank, 0x2029, 3},
      {"\n", lineBreak, U'\n', 1},
      {"\r\n", lineBreak, U'\r', 1},  // the pair is the caller's to merge
      {"\v", lineBreak, U'\v', 1},
      {"\f", lineBreak, U'\f', 1},
      {"\u0085", lineBreak, 0x85, 2},
      {std::string("\0", 1), control, 0, 1},
      {"\x1b[", control, 0x1B, 1},
      {"\x7f", control, 0x7F, 1},
      {"\u009b", control, 0x9B, 2},
      {"\xff", malformed, 0xFFFD, 1},
      {"\xe2\x82", malformed, 0xFFFD, 1},
      {"\xed\xa0\x80", malformed, 0xFFFD, 1},
  };
  for (const Case& c : cases) {
    std::size_t pos = 0;
    const LineCharacter read = readLineCharacter(c.bytes, pos);
    EXPECT_EQ(c.kind, read.kind) << c.bytes;
    EXPECT_EQ(c.codePoint, read.codePoint) << c.bytes;
    EXPECT_EQ(c.length, pos) << c.bytes;
  }
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
