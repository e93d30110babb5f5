#include "host/backends/gtk/window_surface.hpp"

#include <algorithm>
#include <string>

#include <gtk-layer-shell/gtk-layer-shell.h>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

namespace velto::host::gtk {

SurfaceKind surfaceKind(GdkDisplay* display) {
#ifdef GDK_WINDOWING_X11
  if (GDK_IS_X11_DISPLAY(display)) {
    return SurfaceKind::x11;
  }
#endif
#ifdef GDK_WINDOWING_WAYLAND
  if (GDK_IS_WAYLAND_DISPLAY(display) && gtk_layer_is_supported()) {
    return SurfaceKind::layerShell;
  }
#endif
  return SurfaceKind::plainWayland;
}

std::string_view name(SurfaceKind kind) {
  switch (kind) {
    case SurfaceKind::layerShell:
      return "Wayland layer surface";
    case SurfaceKind::x11:
      return "X11 window";
    case SurfaceKind::plainWayland:
      return "Wayland window";
  }
  return "window";
}

std::vector<std::string> monitorNames(GdkDisplay* display) {
  std::vector<std::string> names;
  const int count = gdk_display_get_n_monitors(display);
  for (int i = 0; i < count; ++i) {
    const char* model = gdk_monitor_get_model(gdk_display_get_monitor(display, i));
    const std::string base = model != nullptr && *model != '\0' ? model : "monitor";
    std::string name = base;
    for (int copy = 2; std::find(names.begin(), names.end(), name) != names.end(); ++copy) {
      name = base + "#" + std::to_string(copy);
    }
    names.push_back(std::move(name));
  }
  return names;
}

GdkMonitor* chooseMonitor(GdkDisplay* display, const std::optional<std::string>& output) {
  if (output) {
    const auto names = monitorNames(display);
    const auto named = std::find(names.begin(), names.end(), *output);
    if (named != names.end()) {
      return gdk_display_get_monitor(display, static_cast<int>(named - names.begin()));
    }
  }
  if (GdkMonitor* primary = gdk_display_get_primary_monitor(display)) {
    return primary;
  }
  const int count = gdk_display_get_n_monitors(display);
  return count > 0 ? gdk_display_get_monitor(display, 0) : nullptr;
}

bool hasMonitor(GdkDisplay* display, std::string_view output) {
  const auto names = monitorNames(display);
  return std::find(names.begin(), names.end(), output) != names.end();
}

ScreenRect workArea(GdkMonitor* monitor) {
  if (monitor == nullptr) {
    return {};
  }
  GdkRectangle area{};
  gdk_monitor_get_workarea(monitor, &area);
  return {area.x, area.y, area.width, area.height};
}

std::vector<ScreenRect> workAreas(GdkDisplay* display) {
  std::vector<ScreenRect> areas;
  for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
    areas.push_back(workArea(gdk_display_get_monitor(display, i)));
  }
  return areas;
}

void makeLayerSurface(GtkWindow* window, Corner corner, int margin, GdkMonitor* monitor) {
  gtk_layer_init_for_window(window);
  gtk_layer_set_namespace(window, "velto-widget");
  gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_BOTTOM);
  gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
  gtk_layer_set_exclusive_zone(window, 0);
  const auto anchors = layerAnchors(corner);
  const std::pair<GtkLayerShellEdge, bool> edges[] = {
      {GTK_LAYER_SHELL_EDGE_TOP, anchors.top},
      {GTK_LAYER_SHELL_EDGE_BOTTOM, anchors.bottom},
      {GTK_LAYER_SHELL_EDGE_LEFT, anchors.left},
      {GTK_LAYER_SHELL_EDGE_RIGHT, anchors.right},
  };
  for (const auto& [edge, anchored] : edges) {
    gtk_layer_set_anchor(window, edge, anchored ? TRUE : FALSE);
    gtk_layer_set_margin(window, edge, anchored ? margin : 0);
  }
  gtk_layer_set_monitor(window, monitor);
}

void moveLayerSurface(GtkWindow* window, GdkMonitor* monitor) {
  gtk_layer_set_monitor(window, monitor);
}

void makeDesktopWindow(GtkWindow* window, bool keepBelow) {
  gtk_window_set_decorated(window, FALSE);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_skip_taskbar_hint(window, TRUE);
  gtk_window_set_skip_pager_hint(window, TRUE);
  gtk_window_set_accept_focus(window, FALSE);
  gtk_window_set_focus_on_map(window, FALSE);
  if (keepBelow) {
    gtk_window_set_keep_below(window, TRUE);
    gtk_window_stick(window);
  }
}

}  // namespace velto::host::gtk
