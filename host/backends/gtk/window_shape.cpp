#include "host/backends/gtk/window_shape.hpp"

#include <cmath>

#include "host/render/metrics.hpp"

namespace velto::host::gtk {

void updateWindowShape(GtkWidget* window, SurfaceKind kind, layout::Size size) {
  GdkScreen* screen = gtk_window_get_screen(GTK_WINDOW(window));
  if (kind != SurfaceKind::x11 || gdk_screen_is_composited(screen)) {
    gtk_widget_shape_combine_region(window, nullptr);
    return;
  }
  const int width = static_cast<int>(std::ceil(size.width));
  const int height = static_cast<int>(std::ceil(size.height));
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, width, height);
  cairo_t* cr = cairo_create(mask);
  const double r = render::kWidgetCornerRadius;
  cairo_new_sub_path(cr);
  cairo_arc(cr, width - r, r, r, -G_PI / 2, 0);
  cairo_arc(cr, width - r, height - r, r, 0, G_PI / 2);
  cairo_arc(cr, r, height - r, r, G_PI / 2, G_PI);
  cairo_arc(cr, r, r, r, G_PI, 3 * G_PI / 2);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_region_t* region = gdk_cairo_region_create_from_surface(mask);
  gtk_widget_shape_combine_region(window, region);
  cairo_region_destroy(region);
  cairo_surface_destroy(mask);
}

}  // namespace velto::host::gtk
