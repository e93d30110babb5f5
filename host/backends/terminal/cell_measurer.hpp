#pragma once

// Text measured in terminal cells. A cell stands for kCellWidth × kCellHeight
// points: 7 × 14 maps the small widget (170 × 170 pt) onto 24 × 12 cells and
// the medium one (364 × 170 pt) onto 52 × 12, a readable grid whose cells keep
// a terminal font's usual 1 : 2 shape. Every line is one row tall whatever its
// font size, and tracking is ignored: cells cannot be spaced apart.

#include <string_view>

#include "host/layout/geometry.hpp"
#include "host/layout/text_measurer.hpp"

namespace velto::host::terminal {

inline constexpr double kCellWidth = 7.0;
inline constexpr double kCellHeight = 14.0;
/// Where the baseline sits in a row, from its top.
inline constexpr double kCellAscent = 11.0;

/// Columns and rows of a terminal or of a grid of cells.
struct GridSize {
  int columns = 0;
  int rows = 0;
  friend constexpr bool operator==(const GridSize&, const GridSize&) = default;
};

/// The cells that a widget of `size` points takes: each side rounded to whole cells.
GridSize cellsFor(layout::Size size);

/// Measures lines as the cells their glyphs take.
class CellMeasurer final : public layout::TextMeasurer {
 public:
  layout::TextMetrics measure(std::string_view text, const layout::TextStyle& style) const override;
};

}  // namespace velto::host::terminal
