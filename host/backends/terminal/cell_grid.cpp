#include "host/backends/terminal/cell_grid.hpp"

#include <algorithm>
#include <limits>

#include "host/backends/terminal/text_cells.hpp"

namespace velto::host::terminal {

CellGrid::CellGrid(GridSize size)
    : size_{std::max(size.columns, 0), std::max(size.rows, 0)},
      cells_(static_cast<std::size_t>(size_.columns) * static_cast<std::size_t>(size_.rows)) {}

std::string_view CellGrid::linkOf(const Cell& cell) const {
  if (cell.link == 0 || cell.link > links_.size()) {
    return {};
  }
  return links_[cell.link - 1U];
}

std::uint16_t CellGrid::linkIndex(std::string_view url) {
  const auto found = std::find(links_.begin(), links_.end(), url);
  if (found != links_.end()) {
    return static_cast<std::uint16_t>(found - links_.begin() + 1);
  }
  if (links_.size() >= std::numeric_limits<std::uint16_t>::max()) {
    return 0;
  }
  links_.emplace_back(url);
  return static_cast<std::uint16_t>(links_.size());
}

std::vector<std::string> CellGrid::linkedUrls() const {
  std::vector<bool> used(links_.size(), false);
  for (const Cell& cell : cells_) {
    if (cell.link != 0 && cell.link <= links_.size()) {
      used[cell.link - 1U] = true;
    }
  }
  std::vector<std::string> urls;
  for (std::size_t i = 0; i < links_.size(); ++i) {
    if (used[i]) {
      urls.push_back(links_[i]);
    }
  }
  return urls;
}

int CellGrid::putText(int column, int row, std::string_view text, int maxColumns,
                      std::optional<Rgb> foreground, bool bold) {
  if (row < 0 || row >= size_.rows) {
    return 0;
  }
  const int limit = std::min(column + std::max(maxColumns, 0), size_.columns);
  int x = column;
  forEachGlyph(text, [&](std::string_view glyph, int width) {
    if (x + width > limit) {
      x = limit;  // nothing after a glyph that does not fit
      return;
    }
    if (x >= 0) {
      putGlyph(x, row, glyph, width);
      for (int i = 0; i < width; ++i) {
        at(x + i, row).foreground = foreground;
        at(x + i, row).bold = bold;
      }
    }
    x += width;
  });
  return std::max(x, column) - column;
}

void CellGrid::putGlyph(int column, int row, std::string_view glyph, int width) {
  // A glyph that lands on half of a wide one blanks its other half.
  if (at(column, row).continuation() && column > 0) {
    at(column - 1, row).glyph = " ";
  }
  const int last = column + width - 1;
  if (last + 1 < size_.columns && at(last + 1, row).continuation()) {
    at(last + 1, row).glyph = " ";
  }
  at(column, row).glyph.assign(glyph);
  if (width == 2) {
    at(last, row).glyph.clear();
  }
}

void CellGrid::clearGlyph(int column, int row) {
  Cell& cell = at(column, row);
  if (cell.glyph != " ") {
    putGlyph(column, row, " ", 1);
  }
}

void CellGrid::blit(const CellGrid& other, int column, int row) {
  blit(other, column, row, {0, 0, other.size_.columns, other.size_.rows});
}

void CellGrid::blit(const CellGrid& other, int column, int row, const CellRect& part) {
  const int columnEnd = std::min(part.column + part.columns, other.size_.columns);
  const int rowEnd = std::min(part.row + part.rows, other.size_.rows);
  for (int y = std::max(part.row, 0); y < rowEnd; ++y) {
    for (int x = std::max(part.column, 0); x < columnEnd; ++x) {
      if (!contains(column + x, row + y)) {
        continue;
      }
      Cell cell = other.at(x, y);
      // A wide glyph cut by the right edge would leave half a glyph behind.
      if (!cell.continuation() && !contains(column + x + 1, row + y) && x + 1 < other.size_.columns
          && other.at(x + 1, y).continuation()) {
        cell.glyph = " ";
      }
      if (cell.continuation() && !contains(column + x - 1, row + y)) {
        cell.glyph = " ";
      }
      cell.link = cell.link == 0 ? 0 : linkIndex(other.linkOf(cell));
      at(column + x, row + y) = std::move(cell);
    }
  }
}

bool CellGrid::sameCell(const Cell& cell, const CellGrid& otherGrid, const Cell& other) const {
  return cell.glyph == other.glyph && cell.foreground == other.foreground
         && cell.background == other.background && cell.bold == other.bold
         && linkOf(cell) == otherGrid.linkOf(other);
}

std::string toText(const CellGrid& grid) {
  std::string text;
  for (int row = 0; row < grid.size().rows; ++row) {
    for (int column = 0; column < grid.size().columns; ++column) {
      text += grid.at(column, row).glyph;
    }
    text += '\n';
  }
  return text;
}

}  // namespace velto::host::terminal
