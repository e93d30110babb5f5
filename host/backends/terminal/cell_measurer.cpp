#include "host/backends/terminal/cell_measurer.hpp"

#include <cmath>

#include "host/backends/terminal/text_cells.hpp"

namespace velto::host::terminal {

GridSize cellsFor(layout::Size size) {
  const auto cells = [](double length, double cell) {
    return std::isfinite(length) && length > 0 ? static_cast<int>(std::lround(length / cell)) : 0;
  };
  return {cells(size.width, kCellWidth), cells(size.height, kCellHeight)};
}

layout::TextMetrics CellMeasurer::measure(std::string_view text,
                                          const layout::TextStyle& /*style*/) const {
  return {displayWidth(text) * kCellWidth, kCellAscent, kCellHeight - kCellAscent};
}

}  // namespace velto::host::terminal
