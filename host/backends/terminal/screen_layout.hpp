#pragma once

// Where a widget goes on a terminal's screen: centred, with the status line
// on the row below it, or one line saying the terminal is too small.

#include <optional>
#include <string>
#include <string_view>

#include "host/backends/terminal/cell_grid.hpp"

namespace velto::host::terminal {

/// The widget's top-left cell and the status line's row.
struct Placement {
  int column = 0;
  int row = 0;
  int statusRow = 0;
  friend constexpr bool operator==(const Placement&, const Placement&) = default;
};

/// The widget centred on the terminal, the status row below it (or the last
/// row when none is left); nothing when the terminal is smaller than the widget.
std::optional<Placement> placeWidget(GridSize widget, GridSize terminal);

/// The line shown instead of a widget that does not fit, at most
/// `terminal.columns` cells wide.
std::string tooSmallMessage(GridSize widget, GridSize terminal);

/// Writes `text` centred on `row`, cut with "…" to the screen's width.
void putCentered(CellGrid& screen, int row, std::string_view text);

/// The whole screen: the widget placed on it, or the too-small line on its
/// middle row, and `status` centred on the status row (the row after the
/// too-small line, when there is one). An empty widget leaves the status alone
/// on the middle row.
CellGrid composeScreen(const CellGrid& widget, GridSize terminal, std::string_view status);

}  // namespace velto::host::terminal
