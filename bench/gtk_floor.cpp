// velto-gtk-floor: the least a GTK 3 program does for the desktop widget's tick,
// the floor bench/live-side-by-side.sh measures the widget against. A window the
// widget's size whose background is painted once into an image surface; each
// wall-clock second only the readout box is invalidated, and its redraw copies
// that box of the background and draws the time over it with one Pango layout.

#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>

#include <cairo.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <sysexits.h>

namespace {

constexpr int kWindowSize = 170;
constexpr GdkRectangle kReadout{27, 68, 116, 33};

struct SurfaceRelease {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ObjectRelease {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceRelease>;
using Layout = std::unique_ptr<PangoLayout, ObjectRelease>;

struct Floor {
  GtkWidget* window = nullptr;
  GtkWidget* canvas = nullptr;
  Surface background;
  Layout readout;
  char text[16] = "";
};

/// Paints the card once: everything that does not change with the tick.
Surface paintBackground() {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWindowSize, kWindowSize));
  cairo_t* cr = cairo_create(surface.get());
  cairo_set_source_rgb(cr, 0.11, 0.12, 0.14);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0.18, 0.19, 0.22);
  cairo_rectangle(cr, 12, 12, kWindowSize - 24, kWindowSize - 24);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface.get());
  return surface;
}

/// Sets the readout to the local wall-clock time as HH:MM:SS.
void showNow(Floor& floor) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(floor.text, sizeof floor.text, "%H:%M:%S", &local);
  pango_layout_set_text(floor.readout.get(), floor.text, -1);
}

/// Milliseconds to the next wall-clock second, a little past it so the clock reads the new second.
guint untilNextSecond() {
  const gint64 intoSecond = g_get_real_time() % G_USEC_PER_SEC;
  return static_cast<guint>((G_USEC_PER_SEC - intoSecond) / 1000 + 1);
}

gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto& floor = *static_cast<Floor*>(data);
  cairo_set_source_surface(cr, floor.background.get(), 0, 0);
  cairo_paint(cr);
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(floor.readout.get(), &width, &height);
  cairo_set_source_rgb(cr, 0.95, 0.95, 0.97);
  cairo_move_to(cr, kReadout.x + (kReadout.width - width) / 2.0,
                kReadout.y + (kReadout.height - height) / 2.0);
  pango_cairo_show_layout(cr, floor.readout.get());
  return TRUE;
}

gboolean onTick(gpointer data) {
  auto& floor = *static_cast<Floor*>(data);
  showNow(floor);
  gtk_widget_queue_draw_area(floor.canvas, kReadout.x, kReadout.y, kReadout.width, kReadout.height);
  g_timeout_add(untilNextSecond(), onTick, data);
  return G_SOURCE_REMOVE;
}

gboolean onQuit(gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fputs("usage: velto-gtk-floor (takes no arguments)\n", stderr);
    return EX_USAGE;
  }
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("velto-gtk-floor: cannot open the display\n", stderr);
    return EX_UNAVAILABLE;
  }

  Floor floor;
  floor.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(floor.window), "velto-gtk-floor");
  gtk_window_set_decorated(GTK_WINDOW(floor.window), FALSE);
  floor.canvas = gtk_drawing_area_new();
  gtk_widget_set_size_request(floor.canvas, kWindowSize, kWindowSize);
  gtk_container_add(GTK_CONTAINER(floor.window), floor.canvas);

  floor.background = paintBackground();
  floor.readout.reset(gtk_widget_create_pango_layout(floor.canvas, nullptr));
  PangoFontDescription* font = pango_font_description_from_string("Sans Bold 17px");
  pango_layout_set_font_description(floor.readout.get(), font);
  pango_font_description_free(font);
  showNow(floor);

  g_signal_connect(floor.canvas, "draw", G_CALLBACK(onDraw), &floor);
  g_signal_connect(floor.window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  g_unix_signal_add(SIGTERM, onQuit, nullptr);
  g_unix_signal_add(SIGINT, onQuit, nullptr);
  g_timeout_add(untilNextSecond(), onTick, &floor);

  gtk_widget_show_all(floor.window);
  gtk_main();
  return EX_OK;
}
