#pragma once

// For tests: a small terminal that understands exactly the sequences the
// screen writer sends (cursor position and forward, erase, clear, SGR with 24-bit
// colours, OSC 8, synchronised updates), so a test can check what a person
// would see after a run of frames rather than the bytes themselves. Text
// advances the cursor as tmux does: by the C library's wcwidth, zero-width
// characters and anything after a zero-width joiner piling onto the cell left
// of the cursor, wherever the cursor went in between.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/backends/terminal/cell_grid.hpp"
#include "host/backends/terminal/text_cells.hpp"
#include "platform/foundation/utf8.hpp"

namespace velto::host::terminal::testing {

class VirtualTerminal {
 public:
  /// The cells a code point advances the cursor by.
  using Advance = std::function<int(char32_t)>;

  /// A terminal of `size` cells; `advance` stands for tables of its own.
  explicit VirtualTerminal(GridSize size, Advance advance = tmuxAdvance)
      : screen_(size), advance_(std::move(advance)) {}

  /// The cells tmux moves the cursor by: wcwidth's, and one for what it does not know.
  static int tmuxAdvance(char32_t c) {
    const int width = libraryWidth(c).value_or(codePointWidth(c));
    return width < 0 ? 1 : width;
  }

  /// Applies `bytes`; returns false at the first sequence it does not know.
  bool apply(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
      if (bytes[pos] == '\x1b') {
        if (!escape(bytes, pos)) {
          return false;
        }
        continue;
      }
      std::size_t end = pos;
      const char32_t c = platform::foundation::nextCodePoint(bytes, end);
      const std::string_view text = bytes.substr(pos, end - pos);
      pos = end;
      if (c == 0x200D) {
        joining_ = true;  // what comes next joins the cell before the cursor
        continue;
      }
      const int width = advance_(c);
      if (width == 0 || joining_) {
        combine(joining_ ? "\u200D" + std::string(text) : std::string(text));
        joining_ = false;
        continue;
      }
      if (!screen_.contains(column_ + width - 1, row_)) {
        return false;  // the writer never relies on wrapping
      }
      screen_.putGlyph(column_, row_, text, width);
      for (int i = 0; i < width; ++i) {
        Cell& cell = screen_.at(column_ + i, row_);
        cell.foreground = pen_.foreground;
        cell.background = pen_.background;
        cell.bold = pen_.bold;
        cell.link = link_.empty() ? 0 : screen_.linkIndex(link_);
      }
      column_ += width;
    }
    return true;
  }

  const CellGrid& screen() const { return screen_; }

  std::string row(int index) const {
    std::string text;
    for (int column = 0; column < screen_.size().columns; ++column) {
      text += screen_.at(column, index).glyph;
    }
    return text;
  }

 private:
  /// Appends `text` to the glyph left of the cursor, as tmux does with
  /// zero-width characters and whatever follows a joiner.
  void combine(std::string_view text) {
    int column = column_ - 1;
    while (column > 0 && screen_.at(column, row_).continuation()) {
      --column;
    }
    if (column < 0) {
      return;
    }
    screen_.at(column, row_).glyph += text;
  }

  static std::vector<int> numbers(std::string_view params) {
    std::vector<int> values;
    int value = 0;
    for (const char c : params) {
      if (c == ';') {
        values.push_back(value);
        value = 0;
      } else {
        value = value * 10 + (c - '0');
      }
    }
    values.push_back(value);
    return values;
  }

  bool escape(std::string_view bytes, std::size_t& pos) {
    if (bytes.substr(pos, 2) == "\x1b[") {
      std::size_t end = pos + 2;
      while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) {
        ++end;
      }
      if (end == bytes.size()) {
        return false;
      }
      const std::string_view params = bytes.substr(pos + 2, end - pos - 2);
      const char final = bytes[end];
      pos = end + 1;
      return csi(params, final);
    }
    if (bytes.substr(pos, 5) == "\x1b]8;;") {
      const std::size_t end = bytes.find("\x1b\\", pos);
      if (end == std::string_view::npos) {
        return false;
      }
      link_ = std::string(bytes.substr(pos + 5, end - pos - 5));
      pos = end + 2;
      return true;
    }
    return false;
  }

  bool csi(std::string_view params, char final) {
    if (params == "?2026" && (final == 'h' || final == 'l')) {
      return true;
    }
    const std::vector<int> n = numbers(params);
    switch (final) {
      case 'H':
        row_ = n.at(0) - 1;
        column_ = n.size() > 1 ? n[1] - 1 : 0;
        return true;
      case 'C':
        column_ += n.at(0);
        return true;
      case 'X':
        for (int column = column_; column < column_ + n.at(0) && screen_.contains(column, row_);
             ++column) {
          screen_.clearGlyph(column, row_);
          Cell& cell = screen_.at(column, row_);
          cell.background = pen_.background;
          cell.foreground.reset();
          cell.bold = false;
          cell.link = 0;
        }
        return true;
      case 'J':
        screen_ = CellGrid(screen_.size());
        return n.at(0) == 2;
      case 'm':
        return sgr(n);
      default:
        return false;
    }
  }

  bool sgr(const std::vector<int>& n) {
    for (std::size_t i = 0; i < n.size(); ++i) {
      switch (n[i]) {
        case 0:
          pen_ = Cell{};
          break;
        case 1:
          pen_.bold = true;
          break;
        case 22:
          pen_.bold = false;
          break;
        case 39:
          pen_.foreground.reset();
          break;
        case 49:
          pen_.background.reset();
          break;
        case 38:
        case 48: {
          if (i + 4 >= n.size() || n[i + 1] != 2) {
            return false;
          }
          const Rgb color{static_cast<std::uint8_t>(n[i + 2]), static_cast<std::uint8_t>(n[i + 3]),
                          static_cast<std::uint8_t>(n[i + 4])};
          (n[i] == 38 ? pen_.foreground : pen_.background) = color;
          i += 4;
          break;
        }
        default:
          return false;
      }
    }
    return true;
  }

  CellGrid screen_;
  int column_ = 0;
  int row_ = 0;
  Cell pen_;
  std::string link_;
  bool joining_ = false;
  Advance advance_;
};

}  // namespace velto::host::terminal::testing
