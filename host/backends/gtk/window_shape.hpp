#pragma once

// The window's outline on an X11 screen without a compositor, where nothing
// is see-through: the card's rounded corners are cut out of the window.

#include <gtk/gtk.h>

#include "host/backends/gtk/window_surface.hpp"
#include "host/layout/geometry.hpp"

namespace velto::host::gtk {

/// Cuts the corners off `window` (a card of `size`) when it is an X11 window
/// on a screen without a compositor; otherwise leaves it whole.
void updateWindowShape(GtkWidget* window, SurfaceKind kind, layout::Size size);

}  // namespace velto::host::gtk
