#include "host/backends/terminal/screen_layout.hpp"

#include <algorithm>

#include "host/backends/terminal/symbol_glyphs.hpp"
#include "host/backends/terminal/text_cells.hpp"

namespace velto::host::terminal {

namespace {

std::string sizeText(GridSize size) {
  return std::to_string(size.columns) + "\u00D7" + std::to_string(size.rows);
}

}  // namespace

void putCentered(CellGrid& screen, int row, std::string_view text) {
  const int columns = screen.size().columns;
  const std::string line = fitText(text, columns);
  const int width = displayWidth(line);
  screen.putText((columns - width) / 2, row, line, width);
}

std::optional<Placement> placeWidget(GridSize widget, GridSize terminal) {
  if (widget.columns <= 0 || widget.rows <= 0 || terminal.columns < widget.columns
      || terminal.rows < widget.rows) {
    return std::nullopt;
  }
  const int spare = terminal.rows - widget.rows;
  const int row = std::max(0, (spare - 1) / 2);
  const int statusRow = std::min(row + widget.rows, terminal.rows - 1);
  return Placement{(terminal.columns - widget.columns) / 2, row, statusRow};
}

std::string tooSmallMessage(GridSize widget, GridSize terminal) {
  const std::string full = "Terminal too small: the widget needs " + sizeText(widget)
                           + " cells, this one has " + sizeText(terminal);
  if (displayWidth(full) <= terminal.columns) {
    return full;
  }
  return fitText("Too small: needs " + sizeText(widget), terminal.columns);
}

CellGrid composeScreen(const CellGrid& widget, GridSize terminal, std::string_view status) {
  CellGrid screen(terminal);
  if (terminal.columns <= 0 || terminal.rows <= 0) {
    return screen;
  }
  std::optional<int> statusRow;
  const GridSize size = widget.size();
  if (size.columns == 0 || size.rows == 0) {
    statusRow = terminal.rows / 2;  // nothing to show yet but the status
  } else if (const auto placement = placeWidget(widget.size(), terminal)) {
    screen.blit(widget, placement->column, placement->row);
    statusRow = placement->statusRow;
  } else {
    const int row = terminal.rows / 2;
    putCentered(screen, row, tooSmallMessage(widget.size(), terminal));
    if (row + 1 < terminal.rows) {
      statusRow = row + 1;
    }
  }
  if (statusRow && !status.empty()) {
    putCentered(screen, *statusRow, status);
  }
  return screen;
}

}  // namespace velto::host::terminal
