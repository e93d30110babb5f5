#pragma once

// How the widget's window takes its place on each kind of desktop: a layer
// surface below the windows on Wayland compositors that offer the layer shell,
// an undecorated window kept below on X11, and an ordinary undecorated window
// on other Wayland desktops.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtk/gtk.h>

#include "host/backends/gtk/window_geometry.hpp"

namespace velto::host::gtk {

enum class SurfaceKind : std::uint8_t { layerShell, x11, plainWayland };

/// The kind of surface the default display allows.
SurfaceKind surfaceKind(GdkDisplay* display);

/// The name of a kind, for the log.
std::string_view name(SurfaceKind kind);

/// Every monitor's name, in the display's order: its model (the output's name
/// on X11), with "#2", "#3", … after a model that an earlier monitor has too,
/// so that every monitor can be asked for by name.
std::vector<std::string> monitorNames(GdkDisplay* display);

/// The monitor named `output` (see monitorNames); else the primary monitor;
/// else the first; null without any.
GdkMonitor* chooseMonitor(GdkDisplay* display, const std::optional<std::string>& output);

/// Whether a monitor called `output` is connected.
bool hasMonitor(GdkDisplay* display, std::string_view output);

/// Every monitor's work area.
std::vector<ScreenRect> workAreas(GdkDisplay* display);

/// The work area of `monitor` (empty when null).
ScreenRect workArea(GdkMonitor* monitor);

/// Makes `window` a layer surface on the bottom layer: no keyboard, anchored to
/// `corner` with `margin`, no exclusive zone, namespace "velto-widget".
/// Call before the window is shown.
void makeLayerSurface(GtkWindow* window, Corner corner, int margin, GdkMonitor* monitor);

/// Puts a layer surface on `monitor` (null: the compositor's choice).
void moveLayerSurface(GtkWindow* window, GdkMonitor* monitor);

/// Undecorated, not resizable, below other windows, on every workspace, out of
/// taskbars and pagers, never taking the keyboard focus. Call before showing.
void makeDesktopWindow(GtkWindow* window, bool keepBelow);

}  // namespace velto::host::gtk
