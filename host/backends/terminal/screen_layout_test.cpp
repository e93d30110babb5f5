#include "host/backends/terminal/screen_layout.hpp"

#include <gtest/gtest.h>

#include "host/backends/terminal/text_cells.hpp"

namespace velto::host::terminal {
namespace {

std::string rowText(const CellGrid& grid, int row) {
  std::string text;
  for (int column = 0; column < grid.size().columns; ++column) {
    text += grid.at(column, row).glyph;
  }
  return text;
}

TEST(PlaceWidget, CentresTheWidgetWithTheStatusBelow) {
  const struct {
    GridSize terminal;
    std::optional<Placement> placement;
  } cases[] =
      {
          {{80, 24}, Placement{28, 5, 17}},
          {{24, 12}, Placement{0, 0, 11}},  // an exact fit: the status shares the last row
          {{25, 13}, Placement{0, 0, 12}},
          {{30, 20}, Placement{3, 3, 15}},
          {{23, 12}, std::nullopt},
          {{24, 11}, std::nullopt},
          {{0, 0}, std::nullopt},
      };
  for (const auto& c : cases) {
    EXPECT_EQ(c.placement, placeWidget({24, 12}, c.terminal))
        << c.terminal.columns << "x" << c.terminal.rows;
  }
}

TEST(TooSmallMessage, FitsOnOneLineOfTheTerminal) {
  EXPECT_EQ("Terminal too small: the widget needs 52×12 cells, this one has 80×10",
            tooSmallMessage({52, 12}, {80, 10}));
  EXPECT_EQ("Too small: needs 52×12", tooSmallMessage({52, 12}, {40, 30}));
  EXPECT_EQ("Too sma…", tooSmallMessage({52, 12}, {8, 3}));
  for (int columns = 0; columns < 90; ++columns) {
    EXPECT_LE(displayWidth(tooSmallMessage({52, 12}, {columns, 5})), columns);
  }
}

TEST(ComposeScreen, SaysInOneLineWhenTheTerminalIsTooSmall) {
  CellGrid widget({24, 12});
  widget.putText(0, 0, "widget", 24);
  const CellGrid screen = composeScreen(widget, {30, 5}, "");
  EXPECT_EQ("    Too small: needs 24×12    ", rowText(screen, 2));
  for (const int row : {0, 1, 3, 4}) {
    EXPECT_EQ(std::string(30, ' '), rowText(screen, row));
  }
}

TEST(ComposeScreen, PutsTheStatusUnderTheWidget) {
  CellGrid widget({4, 2});
  widget.putText(0, 0, "abcd", 4);
  widget.at(1, 1).link = widget.linkIndex("velto://stop");
  const CellGrid screen = composeScreen(widget, {10, 6}, "no handler");
  EXPECT_EQ("   abcd   ", rowText(screen, 1));
  EXPECT_EQ("no handler", rowText(screen, 3));
  EXPECT_EQ("velto://stop", screen.linkOf(screen.at(4, 2)));
  EXPECT_EQ("lon…", rowText(composeScreen(widget, {4, 2}, "long status"), 1));
}

TEST(ComposeScreen, ShowsTheStatusAloneBeforeAnyWidget) {
  const CellGrid screen = composeScreen(CellGrid(), {12, 3}, "starting");
  EXPECT_EQ("  starting  ", rowText(screen, 1));
}

}  // namespace
}  // namespace velto::host::terminal
