#include "host/backends/terminal/screen_writer.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

namespace velto::host::terminal {

namespace {

constexpr std::string_view kSyncBegin = "\x1b[?2026h";
constexpr std::string_view kSyncEnd = "\x1b[?2026l";
constexpr std::string_view kReset = "\x1b[0m";
constexpr std::string_view kClear = "\x1b[2J";
constexpr std::array<int, 6> kCubeLevels{0, 95, 135, 175, 215, 255};

int distance(Rgb a, int red, int green, int blue) {
  const int dr = a.red - red;
  const int dg = a.green - green;
  const int db = a.blue - blue;
  return dr * dr + dg * dg + db * db;
}

std::size_t nearestCubeStep(int value) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < kCubeLevels.size(); ++i) {
    if (std::abs(kCubeLevels[i] - value) < std::abs(kCubeLevels[best] - value)) {
      best = i;
    }
  }
  return best;
}

/// A colour as the terminal gets it: 0 for the default, else a tag in the top
/// byte (1: palette index, 2: 24-bit) and the value below it.
using ColorCode = std::uint32_t;
constexpr ColorCode kPaletteTag = 1U << 24U;
constexpr ColorCode kTrueTag = 2U << 24U;

ColorCode encode(const std::optional<Rgb>& color, ColorMode mode) {
  if (!color) {
    return 0;
  }
  switch (mode) {
    case ColorMode::none:
      return 0;
    case ColorMode::palette256:
      return kPaletteTag | palette256Index(*color);
    case ColorMode::trueColor:
      return kTrueTag | (static_cast<ColorCode>(color->red) << 16U)
             | (static_cast<ColorCode>(color->green) << 8U) | color->blue;
  }
  return 0;
}

void appendColor(std::string& out, ColorCode code, bool foreground) {
  if (code == 0) {
    out += foreground ? "39" : "49";
    return;
  }
  out += foreground ? "38;" : "48;";
  if ((code & 0xFF000000U) == kPaletteTag) {
    out += "5;" + std::to_string(code & 0xFFU);
  } else {
    out += "2;" + std::to_string((code >> 16U) & 0xFFU) + ';' + std::to_string((code >> 8U) & 0xFFU)
           + ';' + std::to_string(code & 0xFFU);
  }
}

bool safeUrl(std::string_view url) {
  return !url.empty() && url.size() <= kMaxLinkBytes
         && std::all_of(url.begin(), url.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

struct Pen {
  ColorCode foreground = 0;
  ColorCode background = 0;
  bool bold = false;
  friend bool operator==(const Pen&, const Pen&) = default;
};

/// One frame's writing: where the cursor is, which pen and link are active.
class FrameBuilder {
 public:
  FrameBuilder(const Capabilities& capabilities, std::string& out)
      : capabilities_(capabilities), out_(out) {}

  Pen penOf(const Cell& cell) const {
    return {encode(cell.foreground, capabilities_.colors),
            encode(cell.background, capabilities_.colors), cell.bold};
  }

  std::string_view linkOf(const CellGrid& grid, const Cell& cell) const {
    const std::string_view url = grid.linkOf(cell);
    return capabilities_.hyperlinks && safeUrl(url) ? url : std::string_view();
  }

  bool looksSame(const CellGrid& a, const Cell& x, const CellGrid& b, const Cell& y) const {
    return x.glyph == y.glyph && penOf(x) == penOf(y) && linkOf(a, x) == linkOf(b, y);
  }

  void write(const CellGrid& grid, const Cell& cell, int column, int row, int width) {
    moveTo(column, row);
    setLink(linkOf(grid, cell));
    setPen(penOf(cell));
    if (width == 2) {
      // A terminal that draws it one cell wide must not leave the second as it was.
      out_ += "\x1b[2X";
    }
    out_ += cell.glyph;
    // Only ASCII advances the cursor predictably: a terminal may draw any other
    // glyph wider than its tables say, so the next write places itself anew.
    const bool ascii = cell.glyph.size() == 1;
    const int next = column + width;
    if (ascii && next < grid.size().columns) {
      cursor_ = {next, row};
    } else {
      cursor_.reset();
    }
  }

  void finish() {
    setLink({});
    if (pen_ != Pen{}) {
      out_ += kReset;
      pen_ = Pen{};
    }
  }

 private:
  void moveTo(int column, int row) {
    if (cursor_ && cursor_->second == row && cursor_->first == column) {
      return;
    }
    if (cursor_ && cursor_->second == row && cursor_->first < column) {
      out_ += "\x1b[" + std::to_string(column - cursor_->first) + 'C';
    } else {
      out_ += "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H';
    }
    cursor_ = {column, row};
  }

  void setLink(std::string_view url) {
    if (url == link_) {
      return;
    }
    if (!link_.empty()) {
      out_ += "\x1b]8;;\x1b\\";
    }
    if (!url.empty()) {
      out_ += "\x1b]8;;";
      out_ += url;
      out_ += "\x1b\\";
    }
    link_.assign(url);
  }

  void setPen(const Pen& pen) {
    if (pen == pen_) {
      return;
    }
    std::string params;
    const auto separate = [&params] {
      if (!params.empty()) {
        params += ';';
      }
    };
    if (pen.bold != pen_.bold) {
      params += pen.bold ? "1" : "22";
    }
    if (pen.foreground != pen_.foreground) {
      separate();
      appendColor(params, pen.foreground, true);
    }
    if (pen.background != pen_.background) {
      separate();
      appendColor(params, pen.background, false);
    }
    out_ += "\x1b[" + params + 'm';
    pen_ = pen;
  }

  const Capabilities& capabilities_;
  std::string& out_;
  std::optional<std::pair<int, int>> cursor_;  // (column, row) when known
  Pen pen_;
  std::string link_;
};

}  // namespace

std::uint8_t palette256Index(Rgb color) {
  const std::size_t r = nearestCubeStep(color.red);
  const std::size_t g = nearestCubeStep(color.green);
  const std::size_t b = nearestCubeStep(color.blue);
  const auto cube = static_cast<int>(16 + 36 * r + 6 * g + b);
  const int cubeDistance = distance(color, kCubeLevels[r], kCubeLevels[g], kCubeLevels[b]);
  const int average = (color.red + color.green + color.blue) / 3;
  const int step = std::clamp((average - 8 + 5) / 10, 0, 23);
  const int grey = 8 + 10 * step;
  const int greyDistance = distance(color, grey, grey, grey);
  return static_cast<std::uint8_t>(greyDistance < cubeDistance ? 232 + step : cube);
}

std::string ScreenWriter::frame(const CellGrid& next) {
  return frame(next, {0, 0, next.size().columns, next.size().rows});
}

std::string ScreenWriter::frame(const CellGrid& next, const CellRect& changed) {
  const GridSize size = next.size();
  const bool full = !shown_ || shown_->size() != size;
  const int firstColumn = full ? 0 : std::max(changed.column, 0);
  const int firstRow = full ? 0 : std::max(changed.row, 0);
  const int columnEnd =
      full ? size.columns : std::min(changed.column + changed.columns, size.columns);
  const int rowEnd = full ? size.rows : std::min(changed.row + changed.rows, size.rows);
  if (full) {
    shown_ = CellGrid(size);
  }
  CellGrid& before = *shown_;

  std::string body;
  if (full) {
    body += kReset;
    body += kClear;
  }
  FrameBuilder builder(capabilities_, body);
  for (int row = firstRow; row < rowEnd; ++row) {
    // A terminal whose tables differ may draw a narrow glyph beyond ASCII over
    // the cell after it, so that cell is written again, as a full repaint would.
    bool overdrawn = false;
    for (int column = firstColumn; column < columnEnd; ++column) {
      const Cell& cell = next.at(column, row);
      if (cell.continuation()) {
        continue;
      }
      const bool wide = column + 1 < size.columns && next.at(column + 1, row).continuation();
      // A wide glyph's second cell shows the first one's colours, so only its
      // being a second half counts.
      const bool changedCell = overdrawn
                               || !builder.looksSame(next, cell, before, before.at(column, row))
                               || (wide && !before.at(column + 1, row).continuation());
      overdrawn = changedCell && !wide && cell.glyph.size() > 1;
      if (changedCell) {
        builder.write(next, cell, column, row, wide ? 2 : 1);
      }
    }
  }
  builder.finish();
  if (full
      || (firstColumn == 0 && firstRow == 0 && columnEnd == size.columns && rowEnd == size.rows)) {
    shown_ = next;
  } else {
    // Only the region's cells are new; their links are looked up by URL.
    for (int row = firstRow; row < rowEnd; ++row) {
      for (int column = firstColumn; column < columnEnd; ++column) {
        const Cell& cell = next.at(column, row);
        Cell& kept = before.at(column, row);
        kept = cell;
        kept.link = cell.link == 0 ? 0 : before.linkIndex(next.linkOf(cell));
      }
    }
  }
  if (body.empty()) {
    return body;
  }
  if (!capabilities_.synchronizedUpdate) {
    return body;
  }
  std::string out;
  out.reserve(body.size() + kSyncBegin.size() + kSyncEnd.size());
  out += kSyncBegin;
  out += body;
  out += kSyncEnd;
  return out;
}

}  // namespace velto::host::terminal
