#pragma once

// One paint of the widget's window, whole or a tick's box: the laid-out card
// and a veil over the button being pressed.

#include <optional>

#include <cairo.h>

#include "host/backends/cairo/renderer.hpp"
#include "host/backends/cairo/tick_painting.hpp"
#include "host/layout/draw_command.hpp"
#include "host/render/appearance.hpp"

namespace velto::host::gtk {

/// Clears every pixel, so that what lies outside the rounded card stays see-through.
void clearWindow(cairo_t* cr);

/// Paints what `list` shows inside `cr`'s clip as `look` shows it, `scale`
/// device pixels a point, and veils the `pressed` button's box.
void paintWidget(cairo_t* cr, cairo::TickPainting& painting, cairo::Renderer& renderer,
                 const layout::DrawList& list, const std::optional<layout::Rect>& pressed,
                 render::Appearance look, double scale);

}  // namespace velto::host::gtk
