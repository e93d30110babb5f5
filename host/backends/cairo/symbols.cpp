#include "host/backends/cairo/symbols.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "host/backends/cairo/rounded_rect.hpp"

namespace velto::host::cairo {

using platform::ui::Font;

namespace {

// Each drawing is made in a unit square; these strokes are fractions of its side.
double strokeWidth(Font::Weight weight) {
  switch (weight) {
    case Font::Weight::ultraLight:
      return 0.045;
    case Font::Weight::thin:
      return 0.05;
    case Font::Weight::light:
      return 0.06;
    case Font::Weight::regular:
      return 0.075;
    case Font::Weight::medium:
      return 0.08;
    case Font::Weight::semibold:
      return 0.085;
    case Font::Weight::bold:
      return 0.095;
    case Font::Weight::heavy:
      return 0.105;
    case Font::Weight::black:
      return 0.115;
  }
  return 0.075;
}

void hourglass(cairo_t* cr, double weightStroke) {
  // Its lines lie close together, so a lighter stroke keeps the bulbs open.
  const double stroke = weightStroke * 0.85;
  cairo_set_line_width(cr, stroke);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  // The two caps.
  cairo_move_to(cr, 0.2, 0.09);
  cairo_line_to(cr, 0.8, 0.09);
  cairo_move_to(cr, 0.2, 0.91);
  cairo_line_to(cr, 0.8, 0.91);
  // The glass: two bulbs meeting at a narrow neck.
  for (const double side : {-1.0, 1.0}) {
    const double outer = 0.5 + side * 0.22;
    const double neck = 0.5 + side * 0.055;
    cairo_move_to(cr, outer, 0.09);
    cairo_curve_to(cr, outer, 0.32, neck, 0.4, neck, 0.5);
    cairo_curve_to(cr, neck, 0.6, outer, 0.68, outer, 0.91);
  }
  cairo_stroke(cr);
  // Sand heaped in the lower bulb, clear of the strokes: where two operations
  // overlap, a translucent colour would show darker.
  const double inset = stroke / 2 + 0.02;
  cairo_move_to(cr, 0.29 + inset, 0.91 - inset);
  cairo_curve_to(cr, 0.34 + inset, 0.76, 0.44, 0.71, 0.5, 0.69);
  cairo_curve_to(cr, 0.56, 0.71, 0.66 - inset, 0.76, 0.71 - inset, 0.91 - inset);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void sun(cairo_t* cr, double stroke) {
  const double pi = std::numbers::pi;
  cairo_set_line_width(cr, stroke);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0.5, 0.5, 0.19, 0, 2 * pi);
  for (int ray = 0; ray < 8; ++ray) {
    const double angle = ray * pi / 4;
    cairo_move_to(cr, 0.5 + 0.34 * std::cos(angle), 0.5 + 0.34 * std::sin(angle));
    cairo_line_to(cr, 0.5 + 0.45 * std::cos(angle), 0.5 + 0.45 * std::sin(angle));
  }
  cairo_stroke(cr);
}

/// A closed polygon with its corners rounded off by `rounding` along each edge.
template <std::size_t N>
void roundedPolygon(cairo_t* cr, const std::array<std::array<double, 2>, N>& corners,
                    double rounding) {
  const auto towards = [rounding](const std::array<double, 2>& from,
                                  const std::array<double, 2>& to) {
    const double dx = to[0] - from[0];
    const double dy = to[1] - from[1];
    const double t = std::min(0.5, rounding / std::hypot(dx, dy));
    return std::array<double, 2>{from[0] + dx * t, from[1] + dy * t};
  };
  cairo_new_sub_path(cr);
  for (std::size_t i = 0; i < N; ++i) {
    const auto& previous = corners[(i + N - 1) % N];
    const auto& corner = corners[i];
    const auto& next = corners[(i + 1) % N];
    const auto in = towards(corner, previous);
    const auto out = towards(corner, next);
    if (i == 0) {
      cairo_move_to(cr, in[0], in[1]);
    } else {
      cairo_line_to(cr, in[0], in[1]);
    }
    cairo_curve_to(cr, corner[0], corner[1], corner[0], corner[1], out[0], out[1]);
  }
  cairo_close_path(cr);
}

void play(cairo_t* cr) {
  // Right of the box's centre, so that the triangle's mass sits in the middle.
  roundedPolygon<3>(cr, {{{0.28, 0.13}, {0.86, 0.5}, {0.28, 0.87}}}, 0.12);
  cairo_fill(cr);
}

void pause(cairo_t* cr) {
  roundedRectPath(cr, {0.23, 0.15, 0.18, 0.7}, 0.06);
  roundedRectPath(cr, {0.59, 0.15, 0.18, 0.7}, 0.06);
  cairo_fill(cr);
}

void stop(cairo_t* cr) {
  roundedRectPath(cr, {0.19, 0.19, 0.62, 0.62}, 0.13);
  cairo_fill(cr);
}

void unknown(cairo_t* cr, double stroke) {
  cairo_set_line_width(cr, stroke);
  roundedRectPath(cr, {0.14, 0.14, 0.72, 0.72}, 0.16);
  cairo_stroke(cr);
}

constexpr std::array<std::string_view, 5> kKnown{"hourglass", "sun.max", "play.fill", "pause.fill",
                                                 "stop.fill"};

}  // namespace

bool isKnownSymbol(std::string_view name) {
  return std::find(kKnown.begin(), kKnown.end(), name) != kKnown.end();
}

void drawSymbol(cairo_t* cr, std::string_view name, const layout::Rect& box, Font::Weight weight) {
  const double side = std::min(box.width, box.height);
  if (!(side > 0) || !std::isfinite(side)) {
    return;
  }
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_translate(cr, box.x + (box.width - side) / 2, box.y + (box.height - side) / 2);
  cairo_scale(cr, side, side);
  const double stroke = strokeWidth(weight);
  if (name == "hourglass") {
    hourglass(cr, stroke);
  } else if (name == "sun.max") {
    sun(cr, stroke);
  } else if (name == "play.fill") {
    play(cr);
  } else if (name == "pause.fill") {
    pause(cr);
  } else if (name == "stop.fill") {
    stop(cr);
  } else {
    unknown(cr, stroke);
  }
  cairo_restore(cr);
}

}  // namespace velto::host::cairo
