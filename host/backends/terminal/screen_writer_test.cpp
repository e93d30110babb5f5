#include "host/backends/terminal/screen_writer.hpp"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/virtual_terminal.hpp"

namespace velto::host::terminal {
namespace {

constexpr Capabilities kPlain{ColorMode::none, true, false};
constexpr Capabilities kTrue{ColorMode::trueColor, true, false};
constexpr Capabilities k256{ColorMode::palette256, true, false};

CellGrid gridWith(std::string_view text, int column = 0, int row = 0,
                  std::optional<Rgb> color = std::nullopt) {
  CellGrid grid({10, 3});
  grid.putText(column, row, text, 10, color);
  return grid;
}

/// The bytes that turn `before` into `after`.
std::string diff(const CellGrid& before, const CellGrid& after, Capabilities capabilities) {
  ScreenWriter writer(capabilities);
  writer.frame(before);
  return writer.frame(after);
}

TEST(ScreenWriter, TheFirstFrameClearsTheScreenAndWritesOnlyWhatIsNotBlank) {
  ScreenWriter writer(kPlain);
  EXPECT_EQ("\x1b[0m\x1b[2J\x1b[2;3Hhi", writer.frame(gridWith("hi", 2, 1)));
}

TEST(ScreenWriter, WrapsLinkCellsInAHyperlink) {
  CellGrid after = gridWith("a>b");
  after.at(1, 0).link = after.linkIndex("velto://toggle");
  EXPECT_EQ("\x1b[0m\x1b[2J\x1b[1;1Ha\x1b]8;;velto://toggle\x1b\\>\x1b]8;;\x1b\\b",
            ScreenWriter(kPlain).frame(after));
}

CellGrid linked(CellGrid grid, int column, const std::string& url) {
  grid.at(column, 0).link = grid.linkIndex(url);
  return grid;
}

TEST(ScreenWriter, WritesOnlyTheCellsAndPenPartsThatChanged) {
  Capabilities synchronised = kPlain;
  synchronised.synchronizedUpdate = true;
  Capabilities noLinks = kPlain;
  noLinks.hyperlinks = false;
  CellGrid boldWithBackground({4, 1});
  boldWithBackground.putText(0, 0, "ab", 4, Rgb{9, 9, 9}, true);
  boldWithBackground.at(1, 0).background = Rgb{1, 1, 1};
  CellGrid greyBackground = gridWith("x", 0, 0, Rgb{255, 0, 0});
  greyBackground.at(0, 0).background = Rgb{128, 128, 128};
  struct Case {
    const char* name;
    CellGrid before;
    CellGrid after;
    Capabilities capabilities;
    std::string expected;
  };
  const Case cases[] = {
      {"unchanged frame", gridWith("12:34"), gridWith("12:34"), kTrue, ""},
      {"one changed cell", gridWith("12:34", 0, 1), gridWith("12:35", 0, 1), kPlain, "\x1b[2;5H5"},
      {"unchanged cells skipped by moving forward", gridWith("abcde"), gridWith("xbcdy"), kPlain,
       "\x1b[1;1Hx\x1b[3Cy"},
      {"synchronised update", gridWith("ab"), gridWith("ax"), synchronised,
       "\x1b[?2026h\x1b[1;2Hx\x1b[?2026l"},
      {"synchronised but unchanged", gridWith("ab"), gridWith("ab"), synchronised, ""},
      {"true colour, pen reset afterwards", gridWith("a"), gridWith("x", 0, 0, Rgb{1, 2, 3}), kTrue,
       "\x1b[1;1H\x1b[38;2;1;2;3mx\x1b[0m"},
      {"only the pen parts that differ", CellGrid({4, 1}), boldWithBackground, kTrue,
       "\x1b[1;1H\x1b[1;38;2;9;9;9ma\x1b[48;2;1;1;1mb\x1b[0m"},
      {"256-colour palette", gridWith("a"), greyBackground, k256,
       "\x1b[1;1H\x1b[38;5;196;48;5;244mx\x1b[0m"},
      {"colour change the palette cannot show", gridWith("x", 0, 0, Rgb{255, 0, 0}),
       gridWith("x", 0, 0, Rgb{250, 2, 1}), k256, ""},
      {"colour change without colour", gridWith("x", 0, 0, Rgb{255, 0, 0}),
       gridWith("x", 0, 0, Rgb{0, 0, 255}), kPlain, ""},
      {"coloured text without colour", gridWith("a"), gridWith("xy", 0, 0, Rgb{255, 0, 0}), kPlain,
       "\x1b[1;1Hxy"},
      {"a link that changes alone", gridWith("ab"), linked(gridWith("ab"), 1, "velto://stop"),
       kPlain, "\x1b[1;2H\x1b]8;;velto://stop\x1b\\b\x1b]8;;\x1b\\"},
      {"no hyperlinks when the terminal cannot", gridWith("ab"),
       linked(gridWith("ab"), 1, "velto://stop"), noLinks, ""},
      // A hyperlink that could escape its sequence is never written.
      {"link with an escape", gridWith(""), linked(gridWith("ab"), 1, "velto://x\x1b]0;owned\x07"),
       kPlain, "\x1b[1;1Hab"},
      {"link with a space", gridWith(""), linked(gridWith("ab"), 1, "a b"), kPlain, "\x1b[1;1Hab"},
      {"overlong link", gridWith(""),
       linked(gridWith("ab"), 1, std::string(kMaxLinkBytes + 1, 'a')), kPlain, "\x1b[1;1Hab"},
      // A terminal may draw "⏸" two cells wide; the next cell must not follow it blindly.
      {"cell after a non-ASCII glyph", gridWith("ab"), gridWith("\u23F8x"), kPlain,
       "\x1b[1;1H\xE2\x8F\xB8\x1b[1;2Hx"},
      // Erased first, in case the terminal draws it narrower.
      {"wide glyph", gridWith("ab"), gridWith("\u4E2D"), kPlain, "\x1b[1;1H\x1b[2X\u4E2D"},
      {"wide glyph back to narrow", gridWith("\u4E2D"), gridWith("ab"), kPlain, "\x1b[1;1Hab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, diff(c.before, c.after, c.capabilities)) << c.name;
  }
}

TEST(ScreenWriter, ANewSizeRedrawsEverything) {
  ScreenWriter writer(kPlain);
  writer.frame(gridWith("ab"));
  CellGrid wider({12, 3});
  wider.putText(0, 0, "ab", 12);
  EXPECT_EQ("\x1b[0m\x1b[2J\x1b[1;1Hab", writer.frame(wider));
}

TEST(ScreenWriter, InvalidateRedrawsEverything) {
  ScreenWriter writer(kPlain);
  writer.frame(gridWith("ab"));
  writer.invalidate();
  EXPECT_EQ("\x1b[0m\x1b[2J\x1b[1;1Hab", writer.frame(gridWith("ab")));
}

TEST(ScreenWriter, ComparesOnlyTheRegionItIsTold) {
  ScreenWriter writer(kPlain);
  writer.frame(gridWith("abc"));
  EXPECT_EQ("\x1b[1;3Hz", writer.frame(gridWith("xbz"), {2, 0, 5, 3}));
  // The cell outside the region was never written, so a whole frame still finds it changed.
  EXPECT_EQ("\x1b[1;1Hx", writer.frame(gridWith("xbz")));
}

TEST(ScreenWriter, ARegionFrameKeepsLinksByUrl) {
  ScreenWriter writer(kPlain);
  CellGrid first = gridWith("ab");
  first.linkIndex("velto://unused");  // the index tables of the two grids differ
  first.at(1, 0).link = first.linkIndex("velto://stop");
  writer.frame(first);
  CellGrid second = gridWith("ab");
  second.at(1, 0).link = second.linkIndex("velto://stop");
  EXPECT_EQ("", writer.frame(second, {0, 0, 10, 1}));
  EXPECT_EQ("", writer.frame(second));
}

TEST(ScreenWriter, TheLastColumnLeavesTheCursorUnknown) {
  // After the last column the terminal holds a pending wrap, so the next row moves explicitly.
  CellGrid before({3, 2});
  CellGrid after({3, 2});
  after.putText(2, 0, "a", 1);
  after.putText(0, 1, "b", 1);
  EXPECT_EQ("\x1b[1;3Ha\x1b[2;1Hb", diff(before, after, kPlain));
}

/// Whether the terminal shows each cell of `grid`; the first cell that differs otherwise.
::testing::AssertionResult shows(const testing::VirtualTerminal& terminal, const CellGrid& grid) {
  for (int row = 0; row < grid.size().rows; ++row) {
    for (int column = 0; column < grid.size().columns; ++column) {
      const Cell& want = grid.at(column, row);
      const Cell& got = terminal.screen().at(column, row);
      // The second half of a wide glyph takes the first half's colours and link.
      if (!(want.continuation() ? got.continuation()
                                : grid.sameCell(want, terminal.screen(), got))) {
        return ::testing::AssertionFailure()
               << "at " << column << "," << row << ": '" << want.glyph << "' vs '" << got.glyph
               << "' in '" << terminal.row(row) << "'";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(ScreenWriter, TextOfUncertainWidthLeavesNoStaleCells) {
  // Each replaces a longer name; the terminal advances as tmux does.
  for (const std::string& name : {
           std::string("\u2028\u2029\uFFFE\uFFFFZ"),  // separators and noncharacters
           std::string("\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466Z"),
           std::string("\u2764\uFE0F\u263A\uFE0EZ"),       // variation selectors
           std::string("a\u200Bb\u200Cc\u2060d\u00ADeZ"),  // zero-width format characters
           std::string("\u4DC0\u3248\u0ECEa\u0ECEZ"),      // widths GLib and the C library dispute
           std::string("\U0001F44D\U0001F3FD\U0001F1E9\U0001F1EAZ"),  // a skin tone, a flag
       }) {
    ScreenWriter writer(kTrue);
    testing::VirtualTerminal terminal({24, 1});
    CellGrid before({24, 1});
    before.putText(0, 0, "ABCDEFGHIJKLMNOPQRS", 24);
    ASSERT_TRUE(terminal.apply(writer.frame(before)));
    CellGrid after({24, 1});
    after.putText(0, 0, name, 24);
    ASSERT_TRUE(terminal.apply(writer.frame(after))) << name;
    EXPECT_TRUE(shows(terminal, after)) << name;
    EXPECT_EQ(std::string::npos, terminal.row(0).find_first_of("ABCDEFGHIJKLMNOPQRS")) << name;
  }
}

TEST(ScreenWriter, ATerminalWithOtherWidthTablesEndsAsAFullRepaintWould) {
  // This terminal draws "▶" two cells wide and "中" one: frame by frame it
  // must show what it shows after the same frame drawn from scratch.
  const auto advance = [](char32_t c) {
    return c == U'\u25B6' ? 2 : c == U'\u4E2D' ? 1 : testing::VirtualTerminal::tmuxAdvance(c);
  };
  const std::vector<std::string> frames{"abcdef",          "\u25B6bcdef",      "\u25B6b\u4E2Def",
                                        "a\u25B6\u4E2Def", "ab\u4E2D\u25B6ef", "abcdef"};
  ScreenWriter writer(kPlain);
  testing::VirtualTerminal terminal({10, 3}, advance);
  for (const std::string& text : frames) {
    const CellGrid grid = gridWith(text);
    ASSERT_TRUE(terminal.apply(writer.frame(grid))) << text;
    testing::VirtualTerminal fresh({10, 3}, advance);
    ASSERT_TRUE(fresh.apply(ScreenWriter(kPlain).frame(grid)));
    EXPECT_EQ(fresh.row(0), terminal.row(0)) << text;
  }
}

TEST(ScreenWriter, AnyRunOfFramesLeavesTheTerminalShowingTheLast) {
  // Random frames of glyphs (narrow, wide, with marks, and text whose width
  // terminals dispute), colours and links.
  std::mt19937 random(7);
  const std::vector<std::string> glyphs{"a",
                                        "b",
                                        " ",
                                        "\u4E2D",
                                        "e\u0301",
                                        "\u25B6",
                                        "\u2586",
                                        "\u200B",
                                        "\u200D",
                                        "\U0001F469\u200D\U0001F467",
                                        "\uFFFE",
                                        "\U0010FFFF",
                                        "\u2764\uFE0F",
                                        "\U0001F600\uFE0F",
                                        "\u2028",
                                        "\u2029",
                                        "\u202E",
                                        "\u4DC0",
                                        "\u0ECE",
                                        "\U0001F3FB",
                                        "\U0001F1FA"};
  const std::vector<std::optional<Rgb>> colors{std::nullopt, Rgb{1, 2, 3}, Rgb{200, 100, 0}};
  const std::vector<std::string> links{"", "velto://toggle", "velto://stop"};
  const auto pick = [&random](const auto& values) {
    return values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)];
  };
  ScreenWriter writer(kTrue);
  testing::VirtualTerminal terminal({9, 4});
  for (int frame = 0; frame < 300; ++frame) {
    CellGrid grid({9, 4});
    for (int row = 0; row < 4; ++row) {
      std::string text;
      for (int i = 0; i < 6; ++i) {
        text += pick(glyphs);
      }
      grid.putText(0, row, text, 9, pick(colors), random() % 2 == 0);
      for (int column = 0; column < 9; ++column) {
        grid.at(column, row).background = pick(colors);
        const std::string link = pick(links);
        grid.at(column, row).link = link.empty() ? 0 : grid.linkIndex(link);
      }
    }
    ASSERT_TRUE(terminal.apply(writer.frame(grid))) << frame;
    ASSERT_TRUE(shows(terminal, grid)) << frame;
  }
}

TEST(Palette256Index, PicksTheNearestCubeOrGrey) {
  const struct {
    Rgb color;
    int index;
  } cases[] = {
      {{0, 0, 0}, 16},        {{255, 255, 255}, 231}, {{255, 0, 0}, 196},     {{95, 135, 175}, 67},
      {{128, 128, 128}, 244}, {{40, 40, 40}, 235},    {{238, 238, 238}, 255}, {{0, 255, 0}, 46},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.index, palette256Index(c.color))
        << int(c.color.red) << "," << int(c.color.green) << "," << int(c.color.blue);
  }
}

}  // namespace
}  // namespace velto::host::terminal
