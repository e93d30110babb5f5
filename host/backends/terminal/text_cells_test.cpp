#include "host/backends/terminal/text_cells.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <wchar.h>

#include "host/backends/terminal/cell_measurer.hpp"
#include "host/backends/terminal/symbol_glyphs.hpp"
#include "platform/foundation/utf8.hpp"

namespace velto::host::terminal {
namespace {

std::vector<std::string> glyphsOf(std::string_view text) {
  std::vector<std::string> glyphs;
  forEachGlyph(text, [&](std::string_view glyph, int width) {
    glyphs.push_back(std::string(glyph) + "/" + std::to_string(width));
  });
  return glyphs;
}

TEST(DisplayWidth, CountsCellsAsATerminalDraws) {
  const struct {
    std::string text;
    int cells;
  } cases[] = {
      {"", 0},
      {"VELTO", 5},
      {"00:12:34", 8},
      {"\u4E2D\u6587", 4},        // wide ideographs
      {"e\u0301", 1},             // a combining accent sits on its base
      {"\u0301abc", 3},           // a mark with no base is dropped
      {"\xF0\x9F\x98\x80", 2},    // an emoji
      {"a\u200Bb", 2},            // zero-width space
      {"\u25B6\u25A0\u25CF", 3},  // ambiguous width: narrow outside CJK locales
      // How bytes that are not text are replaced is forEachGlyph's and nextCodePoint's.
      {"\xff", 1},
      {"a\tb", 3},                                                        // a tab is one space
      {"\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466", 8},  // four emoji
      {"\u2764\uFE0F", 1},  // the emoji presentation is left to the font
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.cells, displayWidth(c.text)) << c.text;
  }
}

TEST(ForEachGlyph, KeepsOnlyWhatTerminalsAdvanceOverAlike) {
  const struct {
    std::string text;
    std::vector<std::string> glyphs;
  } cases[] = {
      // ESC, BEL and the C1 CSI.
      {"\x1b[2J\x07\xC2\x9B", {"\uFFFD/1", "[/1", "2/1", "J/1", "\uFFFD/1", "\uFFFD/1"}},
      {"e\u0301x", {"e\u0301/1", "x/1"}},
      // A right-to-left override must not reach the terminal inside a cell, nor its marks.
      {"a\u202E\u0301b", {"a/1", "b/1"}},
      // Joiners go, so an emoji sequence is its emoji, each two cells.
      {"\U0001F469\u200D\U0001F467", {"\U0001F469/2", "\U0001F467/2"}},
      {"\u2764\uFE0Fa\uFE0E", {"\u2764/1", "a/1"}},
      {"a\u2028b\u2029", {"a/1", " /1", "b/1", " /1"}},
      // Noncharacters and unassigned code points.
      {"\uFFFE\uFDD0\U0010FFFF\U000E0080", {"\uFFFD/1", "\uFFFD/1", "\uFFFD/1", "\uFFFD/1"}},
      // Hexagrams are wide to the C library and narrow to GLib.
      {"\u4DC0x", {"\uFFFD/1", "x/1"}},
      {"a\u00ADb\u2060c\uFEFF", {"a/1", "b/1", "c/1"}},
      // Line breaks the layout shows as spaces are control bytes here.
      {"\n\r\v\f\u0085", {"\uFFFD/1", "\uFFFD/1", "\uFFFD/1", "\uFFFD/1", "\uFFFD/1"}},
      // A U+FFFD in the text is a replacement like any other: no marks on it.
      {"\uFFFD\u0301x", {"\uFFFD/1", "x/1"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.glyphs, glyphsOf(c.text)) << c.text;
  }
}

TEST(ForEachGlyph, CountsForEveryCodePointTheCellsTheCLibraryGivesIt) {
  // What tmux and screen advance by, so an incremental repaint stays true there.
  const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (utf8 == nullptr) {
    GTEST_SKIP() << "no C.UTF-8 locale";
  }
  const locale_t previous = ::uselocale(utf8);
  int wrong = 0;
  for (char32_t c = 0x20; c <= 0x10FFFF && wrong < 10; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) {
      continue;
    }
    std::string text = "a";
    std::array<char, 8> bytes{};
    text.append(bytes.data(), static_cast<std::size_t>(
                                  g_unichar_to_utf8(static_cast<gunichar>(c), bytes.data())));
    forEachGlyph(text, [&](std::string_view glyph, int width) {
      int cells = 0;
      std::size_t pos = 0;
      while (pos < glyph.size()) {
        cells += ::wcwidth(static_cast<wchar_t>(platform::foundation::nextCodePoint(glyph, pos)));
      }
      if (cells != width) {
        ADD_FAILURE() << std::hex << "U+" << static_cast<std::uint32_t>(c) << ": " << width
                      << " counted, " << std::dec << cells << " drawn";
        ++wrong;
      }
    });
  }
  ::uselocale(previous);
  ::freelocale(utf8);
}

TEST(ForEachGlyph, BoundsAGlyphPiledWithMarks) {
  std::string text = "a";
  for (int i = 0; i < 200; ++i) {
    text += "\u0301";
  }
  text += "b";
  const auto glyphs = glyphsOf(text);
  ASSERT_EQ(2U, glyphs.size());
  EXPECT_LE(glyphs[0].size() - 2, kMaxGlyphBytes);
  EXPECT_EQ("b/1", glyphs[1]);
}

TEST(SymbolGlyph, EveryKnownSymbolTakesOneCell) {
  for (const char* name : {"hourglass", "sun.max", "play.fill", "pause.fill", "stop.fill"}) {
    EXPECT_EQ(1, displayWidth(symbolGlyph(name))) << name;
    // Drawn as itself: nothing of it is dropped or replaced.
    EXPECT_EQ(std::vector<std::string>{std::string(symbolGlyph(name)) + "/1"},
              glyphsOf(symbolGlyph(name)))
        << name;
    EXPECT_NE(symbolGlyph("no.such.symbol"), symbolGlyph(name)) << name;
  }
  EXPECT_EQ(1, displayWidth(symbolGlyph("no.such.symbol")));
  EXPECT_EQ(1, displayWidth(kDotGlyph));
  EXPECT_EQ(1, displayWidth(kRedactedGlyph));
  EXPECT_EQ(1, displayWidth(kEllipsisGlyph));
}

TEST(CellMeasurer, MeasuresWholeCellsOneRowTall) {
  const CellMeasurer measurer;
  for (const double size : {10.0, 13.0, 30.0}) {
    const layout::TextStyle style{platform::ui::Font::system(size), 1.1, true};
    const layout::TextMetrics metrics = measurer.measure("VELTO \u4E2D", style);
    EXPECT_EQ(8 * kCellWidth, metrics.width);
    EXPECT_EQ(kCellHeight, metrics.lineHeight());
  }
}

TEST(CellsFor, MapsTheWidgetSizesOntoReadableGrids) {
  EXPECT_EQ((GridSize{24, 12}), cellsFor({170, 170}));
  EXPECT_EQ((GridSize{52, 12}), cellsFor({364, 170}));
  EXPECT_EQ((GridSize{0, 0}), cellsFor({-5, std::numeric_limits<double>::quiet_NaN()}));
}

}  // namespace
}  // namespace velto::host::terminal
