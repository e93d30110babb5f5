#pragma once

// Where the widget's window goes: anchored in its corner of the chosen
// monitor's work area, or where the user last dragged it while that spot is
// still on screen.

#include <optional>

#include <gtk/gtk.h>

#include "host/backends/gtk/desktop_options.hpp"
#include "host/backends/gtk/window_geometry.hpp"
#include "host/backends/gtk/window_surface.hpp"
#include "host/layout/geometry.hpp"

namespace velto::host::gtk {

/// Puts `window` (of `size`) in its place for the monitors there are now. A
/// layer surface moves to the asked-for output once it exists; an ordinary
/// Wayland window stays where the compositor put it.
void placeWindow(GtkWindow* window, SurfaceKind kind, const DesktopOptions& options,
                 layout::Size size, const std::optional<ScreenPoint>& saved);

}  // namespace velto::host::gtk
