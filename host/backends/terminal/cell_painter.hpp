#pragma once

// Paints a widget's draw commands onto a grid of cells. A cell stands for the
// kCellWidth × kCellHeight points around its centre, and a shape covers the
// cells whose centres it holds:
// - rectangles and the widget's rounded clip by their exact outline, so the
//   rounded corners drop the corner cells;
// - circles smaller than a row become a dot glyph; circles less than two rows
//   tall fill the cells of their centre row across their width (a button's
//   backdrop becomes a short bar); larger ones fill the cells inside them;
// - the radial gradient is sampled at each cell's centre;
// - a text starts at the cell nearest its box's left edge on the row holding
//   its box's middle, and is cut with "…" to its box's width in cells;
// - a symbol is one glyph in the cell holding its box's centre;
// - a link marks the cells it covers, or the cell at its centre when it is
//   smaller than a cell.
// Translucent colours are blended over what lies beneath, so every cell ends
// with opaque colours; the appearance's window colour stands in beneath
// cells nothing painted.

#include <memory>
#include <vector>

#include "host/backends/terminal/cell_grid.hpp"
#include "host/layout/draw_command.hpp"
#include "host/render/palette.hpp"

namespace velto::host::terminal {

struct PaintOptions {
  render::Appearance appearance = render::Appearance::dark;
  /// A placeholder: every cell of a text shows a block in the text's colour.
  bool redacted = false;
  friend constexpr bool operator==(const PaintOptions&, const PaintOptions&) = default;
};

/// The cells of `list`, a grid of cellsFor(list.size).
CellGrid paintCells(const layout::DrawList& list, const PaintOptions& options);

/// paintCells for one list after another: the cells that the leading clips,
/// fills and gradients leave are kept and reused while those commands stay the
/// same, as they do from one tick to the next, and they are most of the work.
class CellPainter {
 public:
  CellPainter();
  ~CellPainter();
  CellPainter(CellPainter&&) noexcept;
  CellPainter& operator=(CellPainter&&) noexcept;

  /// What paintCells(list, options) gives.
  CellGrid paint(const layout::DrawList& list, const PaintOptions& options);

  /// Brings `cells`, painted from an earlier `list` that differed only within
  /// `box` (in points), up to what paint(list, options) gives by painting only
  /// the cells around `box`. Returns the cells rewritten: all of them when
  /// `cells` has another size.
  CellRect repaint(CellGrid& cells, const layout::DrawList& list, const PaintOptions& options,
                   const layout::Rect& box);

 private:
  struct Backdrop;
  /// Paints the list's leading clips, fills and gradients unless they are
  /// those painted last; returns where the commands after them begin.
  std::vector<layout::DrawCommand>::const_iterator paintBackdrop(const layout::DrawList& list,
                                                                 const PaintOptions& options);
  std::unique_ptr<Backdrop> backdrop_;
};

/// `top` blended over `base`.
Rgb blend(Rgb base, const render::Rgba& top);

}  // namespace velto::host::terminal
