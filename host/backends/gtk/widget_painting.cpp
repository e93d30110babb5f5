#include "host/backends/gtk/widget_painting.hpp"

#include <algorithm>

#include <glib.h>

#include "host/render/palette.hpp"

namespace velto::host::gtk {
namespace {

/// The pressed button's veil: the primary colour at this opacity.
constexpr double kPressedOpacity = 0.18;

}  // namespace

void clearWindow(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
}

void paintWidget(cairo_t* cr, cairo::TickPainting& painting, cairo::Renderer& renderer,
                 const layout::DrawList& list, const std::optional<layout::Rect>& pressed,
                 render::Appearance look, double scale) {
  painting.paint(cr, renderer, list, look, scale);
  if (pressed) {
    const auto veil =
        render::resolve(platform::ui::Color::primary().opacity(kPressedOpacity), look);
    cairo_set_source_rgba(cr, veil.red, veil.green, veil.blue, veil.alpha);
    cairo_arc(cr, pressed->center().x, pressed->center().y,
              std::min(pressed->width, pressed->height) / 2, 0, 2 * G_PI);
    cairo_fill(cr);
  }
}

}  // namespace velto::host::gtk
