#include "host/backends/gtk/status_pill.hpp"

#include <string>

#include <glib.h>
#include <pango/pangocairo.h>

#include "host/render/palette.hpp"

namespace velto::host::gtk {
namespace {

/// The pill's height, its margin to the widget's edges and the font size in points.
constexpr double kStatusHeight = 26.0;
constexpr double kStatusMargin = 8.0;
constexpr double kStatusFontSize = 11.0;

void setSource(cairo_t* cr, const render::Rgba& color) {
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}

}  // namespace

void paintStatusPill(cairo_t* cr, layout::Size widget, std::string_view message) {
  const double width = widget.width - 2 * kStatusMargin;
  const double top = widget.height - kStatusMargin - kStatusHeight;
  cairo_save(cr);
  cairo_new_sub_path(cr);
  const double r = kStatusHeight / 2;
  cairo_arc(cr, kStatusMargin + width - r, top + r, r, -G_PI / 2, G_PI / 2);
  cairo_arc(cr, kStatusMargin + r, top + r, r, G_PI / 2, 3 * G_PI / 2);
  cairo_close_path(cr);
  setSource(cr, render::kStatusPillFill);
  cairo_fill(cr);
  PangoLayout* text = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("Sans");
  pango_font_description_set_absolute_size(font, kStatusFontSize * PANGO_SCALE);
  pango_layout_set_font_description(text, font);
  pango_font_description_free(font);
  const std::string line(message);
  pango_layout_set_text(text, line.c_str(), -1);
  pango_layout_set_width(text, static_cast<int>((width - kStatusHeight) * PANGO_SCALE));
  pango_layout_set_ellipsize(text, PANGO_ELLIPSIZE_END);
  pango_layout_set_single_paragraph_mode(text, TRUE);
  int textWidth = 0;
  int textHeight = 0;
  pango_layout_get_pixel_size(text, &textWidth, &textHeight);
  cairo_move_to(cr, kStatusMargin + (width - textWidth) / 2,
                top + (kStatusHeight - textHeight) / 2);
  setSource(cr, render::kStatusPillText);
  pango_cairo_show_layout(cr, text);
  g_object_unref(text);
  cairo_restore(cr);
}

}  // namespace velto::host::gtk
