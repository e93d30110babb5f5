#include "host/backends/gtk/window_placement.hpp"

#include <cmath>

namespace velto::host::gtk {

void placeWindow(GtkWindow* window, SurfaceKind kind, const DesktopOptions& options,
                 layout::Size size, const std::optional<ScreenPoint>& saved) {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = chooseMonitor(display, options.output);
  if (kind == SurfaceKind::layerShell) {
    const bool wanted = options.output && hasMonitor(display, *options.output);
    moveLayerSurface(window, wanted ? monitor : nullptr);
    return;
  }
  if (kind != SurfaceKind::x11) {
    return;
  }
  const int width = static_cast<int>(std::ceil(size.width));
  const int height = static_cast<int>(std::ceil(size.height));
  ScreenPoint origin =
      anchoredOrigin(options.corner, options.margin, workArea(monitor), width, height);
  if (saved) {
    const auto areas = workAreas(display);
    if (const auto visible = visibleOrigin(*saved, width, height, areas)) {
      origin = *visible;
    }
  }
  gtk_window_move(window, origin.x, origin.y);
}

}  // namespace velto::host::gtk
