#pragma once

// A rectangle of terminal cells as plain values: what a widget paints and what
// a screen shows, compared cell by cell to find what a frame must rewrite.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/backends/terminal/cell_measurer.hpp"

namespace velto::host::terminal {

/// An opaque 24-bit colour.
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

/// One cell. A wide glyph sits in its first cell; the second holds an empty glyph.
struct Cell {
  std::string glyph = " ";
  /// Colours; empty is the terminal's own default.
  std::optional<Rgb> foreground;
  std::optional<Rgb> background;
  bool bold = false;
  /// 1-based index into the grid's links; 0 is none.
  std::uint16_t link = 0;

  /// The second cell of a wide glyph.
  bool continuation() const { return glyph.empty(); }
};

/// A rectangle of cells.
struct CellRect {
  int column = 0;
  int row = 0;
  int columns = 0;
  int rows = 0;
  friend constexpr bool operator==(const CellRect&, const CellRect&) = default;
};

/// Cells in rows, with the link URLs they refer to.
class CellGrid {
 public:
  CellGrid() = default;
  explicit CellGrid(GridSize size);

  GridSize size() const { return size_; }
  bool contains(int column, int row) const {
    return column >= 0 && row >= 0 && column < size_.columns && row < size_.rows;
  }
  Cell& at(int column, int row) { return cells_[index(column, row)]; }
  const Cell& at(int column, int row) const { return cells_[index(column, row)]; }

  /// The URL of a cell's link; empty when it has none.
  std::string_view linkOf(const Cell& cell) const;
  /// The index for `url` in Cell::link, added on first use; 0 once the table is full.
  std::uint16_t linkIndex(std::string_view url);
  /// Every URL that some cell links to.
  std::vector<std::string> linkedUrls() const;

  /// Writes `text` from (column, row) in one colour, clipped to `maxColumns`
  /// cells and to the grid; a wide glyph that would straddle the edge is left
  /// out. Returns the cells used.
  int putText(int column, int row, std::string_view text, int maxColumns,
              std::optional<Rgb> foreground = std::nullopt, bool bold = false);

  /// Sets the glyph at (column, row), `width` cells wide (the cells must be in
  /// the grid); a wide glyph that it half covers is blanked.
  void putGlyph(int column, int row, std::string_view glyph, int width);

  /// Blanks a cell's glyph, and the other half of a wide one.
  void clearGlyph(int column, int row);

  /// Copies `other` with its top-left cell at (column, row), clipped to this grid.
  void blit(const CellGrid& other, int column, int row);
  /// Copies the cells of `part` of `other` to where they lie when `other`'s
  /// top-left cell is at (column, row), clipped to both grids.
  void blit(const CellGrid& other, int column, int row, const CellRect& part);

  /// Whether two cells look the same on a terminal, links compared by URL.
  bool sameCell(const Cell& cell, const CellGrid& otherGrid, const Cell& other) const;

 private:
  std::size_t index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(size_.columns)
           + static_cast<std::size_t>(column);
  }

  GridSize size_;
  std::vector<Cell> cells_;
  std::vector<std::string> links_;
};

/// The grid as plain text, one line per row, for tests and logs.
std::string toText(const CellGrid& grid);

}  // namespace velto::host::terminal
