#include "host/backends/cairo/rounded_rect.hpp"

#include <algorithm>
#include <numbers>

namespace velto::host::cairo {

void roundedRectPath(cairo_t* cr, const layout::Rect& rect, double radius) {
  const double r = std::clamp(radius, 0.0, std::min(rect.width, rect.height) / 2);
  if (!(r > 0)) {
    cairo_rectangle(cr, rect.x, rect.y, rect.width, rect.height);
    return;
  }
  const double pi = std::numbers::pi;
  cairo_new_sub_path(cr);
  cairo_arc(cr, rect.maxX() - r, rect.y + r, r, -pi / 2, 0);
  cairo_arc(cr, rect.maxX() - r, rect.maxY() - r, r, 0, pi / 2);
  cairo_arc(cr, rect.x + r, rect.maxY() - r, r, pi / 2, pi);
  cairo_arc(cr, rect.x + r, rect.y + r, r, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

}  // namespace velto::host::cairo
