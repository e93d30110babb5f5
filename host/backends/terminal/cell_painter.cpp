#include "host/backends/terminal/cell_painter.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "host/backends/terminal/symbol_glyphs.hpp"
#include "host/backends/terminal/text_cells.hpp"

namespace velto::host::terminal {

namespace {

using layout::Point;
using layout::Rect;

std::uint8_t channel(double value) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

bool inRoundedRect(Point p, const Rect& rect, double radius) {
  if (p.x < rect.x || p.y < rect.y || p.x >= rect.maxX() || p.y >= rect.maxY()) {
    return false;
  }
  const double r = std::clamp(radius, 0.0, std::min(rect.width, rect.height) / 2);
  const double dx = std::max({rect.x + r - p.x, p.x - (rect.maxX() - r), 0.0});
  const double dy = std::max({rect.y + r - p.y, p.y - (rect.maxY() - r), 0.0});
  return dx * dx + dy * dy <= r * r;
}

/// How many points a cell of the grid covers: about kCellWidth × kCellHeight,
/// stretched so that the grid covers the widget exactly and stays symmetric.
struct CellScale {
  double width = kCellWidth;
  double height = kCellHeight;

  CellScale(layout::Size widget, GridSize grid) {
    if (grid.columns > 0 && grid.rows > 0) {
      width = widget.width / grid.columns;
      height = widget.height / grid.rows;
    }
  }

  Point center(int column, int row) const { return {(column + 0.5) * width, (row + 0.5) * height}; }

  /// The cell holding `p`, which may lie outside the grid.
  std::pair<int, int> cellAt(Point p) const {
    const auto index = [](double value, double cell) {
      const double i = std::floor(value / cell);
      return std::isfinite(i) ? static_cast<int>(std::clamp(i, -1.0, 1e6)) : -1;
    };
    return {index(p.x, width), index(p.y, height)};
  }
};

struct ResolvedStop {
  double location = 0.0;
  render::Rgba color;
};

/// The gradient's colour at distance `d` from its centre, mixed with
/// premultiplied alpha so that a fade to clear keeps its hue.
render::Rgba sample(const layout::FillRadialGradient& gradient,
                    const std::vector<ResolvedStop>& stops, double d) {
  if (stops.empty()) {
    return {};
  }
  const double span = gradient.endRadius - gradient.startRadius;
  const double t = span > 0 ? std::clamp((d - gradient.startRadius) / span, 0.0, 1.0)
                            : (d >= gradient.endRadius ? 1.0 : 0.0);
  std::size_t upper = 0;
  while (upper < stops.size() && stops[upper].location < t) {
    ++upper;
  }
  if (upper == 0 || upper == stops.size()) {
    return stops[upper == 0 ? 0 : stops.size() - 1].color;
  }
  const ResolvedStop& a = stops[upper - 1];
  const ResolvedStop& b = stops[upper];
  const double width = b.location - a.location;
  const double f = width > 0 ? (t - a.location) / width : 1.0;
  const render::Rgba& ca = a.color;
  const render::Rgba& cb = b.color;
  const double alpha = ca.alpha + (cb.alpha - ca.alpha) * f;
  if (alpha <= 0) {
    return {};
  }
  const auto mix = [&](double x, double y) {
    return (x * ca.alpha + (y * cb.alpha - x * ca.alpha) * f) / alpha;
  };
  return {mix(ca.red, cb.red), mix(ca.green, cb.green), mix(ca.blue, cb.blue), alpha};
}

class Painter {
 public:
  Painter(const layout::DrawList& list, const PaintOptions& options)
      : grid_(cellsFor(list.size)),
        scale_(list.size, grid_.size()),
        options_(options),
        base_(blend(
            {}, render::resolve(platform::ui::Color::windowBackground(), options.appearance))) {}

  void run(std::span<const layout::DrawCommand> commands) {
    for (const layout::DrawCommand& command : commands) {
      std::visit([this](const auto& c) { draw(c); }, command);
    }
  }

  CellGrid take() && { return std::move(grid_); }

  /// Leaves every cell outside `area` as it is from now on.
  void restrictTo(const CellRect& area) { area_ = area; }

 private:
  void draw(const layout::PushClip& clip) {
    // Each clip keeps the cells it and every clip around it leave visible.
    std::vector<char> mask(clips_.empty() ? everything() : clips_.back());
    const GridSize size = grid_.size();
    for (int row = 0; row < size.rows; ++row) {
      for (int column = 0; column < size.columns; ++column) {
        char& cell = mask[index(column, row)];
        cell = static_cast<char>(
            cell != 0 && inRoundedRect(scale_.center(column, row), clip.rect, clip.cornerRadius));
      }
    }
    clips_.push_back(std::move(mask));
  }

  void draw(const layout::PopClip&) {
    if (!clips_.empty()) {
      clips_.pop_back();
    }
  }

  void draw(const layout::FillRect& fill) {
    const render::Rgba color = resolve(fill.color);
    forCellsIn(
        fill.rect, [&](Point p) { return inRoundedRect(p, fill.rect, fill.cornerRadius); },
        [&](int column, int row) { layer(column, row, color); });
  }

  void draw(const layout::FillCircle& circle) {
    const render::Rgba color = resolve(circle.color);
    const double r = circle.radius;
    if (!(r > 0) || color.alpha <= 0) {
      return;
    }
    const Rect bounds{circle.center.x - r, circle.center.y - r, 2 * r, 2 * r};
    if (2 * r < kCellHeight) {
      const auto [column, row] = scale_.cellAt(circle.center);
      glyph(column, row, kDotGlyph, 1, color, false);
      return;
    }
    if (2 * r < 2 * kCellHeight) {
      const int centerRow = scale_.cellAt(circle.center).second;
      forCellsIn(
          bounds,
          [&](Point p) {
            return scale_.cellAt(p).second == centerRow && std::abs(p.x - circle.center.x) <= r;
          },
          [&](int column, int row) { layer(column, row, color); });
      return;
    }
    forCellsIn(
        bounds,
        [&](Point p) { return std::hypot(p.x - circle.center.x, p.y - circle.center.y) <= r; },
        [&](int column, int row) { layer(column, row, color); });
  }

  void draw(const layout::FillRadialGradient& gradient) {
    std::vector<ResolvedStop> stops;
    stops.reserve(gradient.stops.size());
    for (const layout::GradientStop& stop : gradient.stops) {
      stops.push_back({stop.location, resolve(stop.color)});
    }
    forCellsIn(
        gradient.rect, [&](Point p) { return inRoundedRect(p, gradient.rect, 0); },
        [&](int column, int row) {
          const Point p = scale_.center(column, row);
          const double d = std::hypot(p.x - gradient.center.x, p.y - gradient.center.y);
          layer(column, row, sample(gradient, stops, d));
        });
  }

  void draw(const layout::DrawText& text) {
    // The measurer counted kCellWidth a cell, so the box's width says how many.
    const int row = scale_.cellAt(text.box.center()).second;
    const auto column = static_cast<int>(std::lround(text.box.x / scale_.width));
    const auto columns = static_cast<int>(std::lround(text.box.width / kCellWidth));
    const render::Rgba color = resolve(text.color);
    const bool bold = text.style.font.weight >= platform::ui::Font::Weight::bold;
    if (!std::isfinite(text.box.x) || !std::isfinite(text.box.width) || columns <= 0) {
      return;
    }
    const bool cut = displayWidth(text.text) > columns;
    const int room = cut ? columns - 1 : columns;
    int x = column;
    forEachGlyph(text.text, [&](std::string_view g, int width) {
      if (x + width > column + room) {
        x = column + room + 1;  // nothing fits after the first glyph that does not
        return;
      }
      if (options_.redacted) {
        for (int i = 0; i < width; ++i) {
          glyph(x + i, row, kRedactedGlyph, 1, color, bold);
        }
      } else {
        glyph(x, row, g, width, color, bold);
      }
      x += width;
    });
    if (cut) {
      glyph(std::min(x, column + room), row, options_.redacted ? kRedactedGlyph : kEllipsisGlyph, 1,
            color, bold);
    }
  }

  void draw(const layout::DrawSymbol& symbol) {
    const auto [column, row] = scale_.cellAt(symbol.box.center());
    glyph(column, row, symbolGlyph(symbol.name), 1, resolve(symbol.color), false);
  }

  void draw(const layout::LinkRegion& link) {
    const std::uint16_t index = grid_.linkIndex(link.url);
    if (index == 0) {
      return;
    }
    bool any = false;
    forCellsIn(
        link.rect, [&](Point p) { return inRoundedRect(p, link.rect, 0); },
        [&](int column, int row) {
          grid_.at(column, row).link = index;
          any = true;
        });
    if (!any) {
      const auto [column, row] = scale_.cellAt(link.rect.center());
      if (visible(column, row)) {
        grid_.at(column, row).link = index;
      }
    }
  }

  render::Rgba resolve(const platform::ui::Color& color) const {
    return render::resolve(color, options_.appearance);
  }

  bool visible(int column, int row) const {
    return grid_.contains(column, row)
           && (!area_
               || (column >= area_->column && row >= area_->row
                   && column < area_->column + area_->columns && row < area_->row + area_->rows))
           && (clips_.empty() || clips_.back()[index(column, row)] != 0);
  }

  std::size_t index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(grid_.size().columns)
           + static_cast<std::size_t>(column);
  }

  std::vector<char> everything() const {
    const GridSize size = grid_.size();
    return std::vector<char>(
        static_cast<std::size_t>(size.columns) * static_cast<std::size_t>(size.rows), 1);
  }

  /// Calls `paint` for each visible cell whose centre `covers` holds, looking
  /// only at the cells that meet `bounds`.
  template <class Covers, class Paint>
  void forCellsIn(const Rect& bounds, Covers covers, Paint paint) {
    const GridSize size = grid_.size();
    const auto first = scale_.cellAt({bounds.x, bounds.y});
    const auto last = scale_.cellAt({bounds.maxX(), bounds.maxY()});
    const CellRect area = area_.value_or(CellRect{0, 0, size.columns, size.rows});
    const int columnEnd = std::min({last.first, size.columns - 1, area.column + area.columns - 1});
    const int rowEnd = std::min({last.second, size.rows - 1, area.row + area.rows - 1});
    for (int row = std::max({first.second, 0, area.row}); row <= rowEnd; ++row) {
      for (int column = std::max({first.first, 0, area.column}); column <= columnEnd; ++column) {
        if (covers(scale_.center(column, row)) && visible(column, row)) {
          paint(column, row);
        }
      }
    }
  }

  /// Paints a layer of `color` over a cell: its background, and a glyph seen
  /// through it; an opaque layer hides the glyph.
  void layer(int column, int row, const render::Rgba& color) {
    if (color.alpha <= 0) {
      return;
    }
    Cell& cell = grid_.at(column, row);
    cell.background = blend(cell.background.value_or(base_), color);
    if (color.alpha >= 1) {
      grid_.clearGlyph(column, row);
      cell.foreground.reset();
    } else if (cell.foreground) {
      cell.foreground = blend(*cell.foreground, color);
    }
  }

  void glyph(int column, int row, std::string_view g, int width, const render::Rgba& color,
             bool bold) {
    for (int i = 0; i < width; ++i) {
      if (!visible(column + i, row)) {
        return;
      }
    }
    grid_.putGlyph(column, row, g, width);
    for (int i = 0; i < width; ++i) {
      Cell& cell = grid_.at(column + i, row);
      cell.foreground = blend(cell.background.value_or(base_), color);
      cell.bold = bold;
    }
  }

  CellGrid grid_;
  CellScale scale_;
  PaintOptions options_;
  Rgb base_;
  std::vector<std::vector<char>> clips_;  // per clip: which cells stay visible
  std::optional<CellRect> area_;          // the only cells painted, when set
};

}  // namespace

Rgb blend(Rgb base, const render::Rgba& top) {
  const double a = std::clamp(top.alpha, 0.0, 1.0);
  const auto mix = [a](std::uint8_t under, double over) {
    return channel(under / 255.0 * (1 - a) + std::clamp(over, 0.0, 1.0) * a);
  };
  return {mix(base.red, top.red), mix(base.green, top.green), mix(base.blue, top.blue)};
}

CellGrid paintCells(const layout::DrawList& list, const PaintOptions& options) {
  Painter painter(list, options);
  painter.run(list.commands);
  return std::move(painter).take();
}

struct CellPainter::Backdrop {
  layout::Size size;
  PaintOptions options;
  std::vector<layout::DrawCommand> commands;
  Painter painter;
};

CellPainter::CellPainter() = default;
CellPainter::~CellPainter() = default;
CellPainter::CellPainter(CellPainter&&) noexcept = default;
CellPainter& CellPainter::operator=(CellPainter&&) noexcept = default;

CellGrid CellPainter::paint(const layout::DrawList& list, const PaintOptions& options) {
  const auto rest = paintBackdrop(list, options);
  Painter painter = backdrop_->painter;
  painter.run(std::span<const layout::DrawCommand>(rest, list.commands.end()));
  return std::move(painter).take();
}

CellRect CellPainter::repaint(CellGrid& cells, const layout::DrawList& list,
                              const PaintOptions& options, const layout::Rect& box) {
  const GridSize size = cellsFor(list.size);
  if (cells.size() != size) {
    cells = paint(list, options);
    return {0, 0, size.columns, size.rows};
  }
  // A glyph is placed by rounding, so it may reach a cell beyond the box; and
  // one cell more is painted around those so that a wide glyph across their
  // edge is drawn as a whole, as it is when everything is painted.
  const CellScale scale(list.size, size);
  const auto first = scale.cellAt({box.x, box.y});
  const auto last = scale.cellAt({box.maxX(), box.maxY()});
  const auto around = [&](int margin) {
    const int column = std::max(first.first - margin, 0);
    const int row = std::max(first.second - margin, 0);
    return CellRect{column, row,
                    std::max(std::min(last.first + margin + 1, size.columns) - column, 0),
                    std::max(std::min(last.second + margin + 1, size.rows) - row, 0)};
  };
  const CellRect changed = around(1);
  const auto rest = paintBackdrop(list, options);
  Painter painter = backdrop_->painter;
  painter.restrictTo(around(2));
  painter.run(std::span<const layout::DrawCommand>(rest, list.commands.end()));
  cells.blit(std::move(painter).take(), 0, 0, changed);
  return changed;
}

std::vector<layout::DrawCommand>::const_iterator CellPainter::paintBackdrop(
    const layout::DrawList& list, const PaintOptions& options) {
  // The backdrop: the clips, fills and gradients before the first text, symbol or circle.
  const auto end = std::find_if(list.commands.begin(), list.commands.end(), [](const auto& c) {
    return !std::holds_alternative<layout::PushClip>(c)
           && !std::holds_alternative<layout::FillRect>(c)
           && !std::holds_alternative<layout::FillRadialGradient>(c);
  });
  const std::span<const layout::DrawCommand> backdrop(list.commands.begin(), end);
  if (!backdrop_ || backdrop_->size != list.size || backdrop_->options != options
      || !std::equal(backdrop.begin(), backdrop.end(), backdrop_->commands.begin(),
                     backdrop_->commands.end())) {
    Painter painter(list, options);
    painter.run(backdrop);
    backdrop_ = std::make_unique<Backdrop>(
        Backdrop{list.size, options, {backdrop.begin(), backdrop.end()}, std::move(painter)});
  }
  return end;
}

}  // namespace velto::host::terminal
