#pragma once

// The widget for a terminal that cannot place the cursor (TERM=dumb): what it
// shows as one line of plain text, printed again whenever that line changes,
// like a log.

#include <string>
#include <string_view>

#include "host/backends/terminal/cell_grid.hpp"

namespace velto::host::terminal {

/// The widget's rows read left to right, top to bottom, each run of blank
/// cells one space and the rows apart by " | ", then `status` after " - ".
/// Only text that forEachGlyph lets through: no control character, no newline.
std::string plainLine(const CellGrid& widget, std::string_view status);

}  // namespace velto::host::terminal
