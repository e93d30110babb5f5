#pragma once

#include <cairo.h>

#include "host/layout/geometry.hpp"

namespace velto::host::cairo {

/// Adds `rect` with its corners rounded at `radius` (at most half the shorter
/// side; square at 0) to the current path as a closed sub-path.
void roundedRectPath(cairo_t* cr, const layout::Rect& rect, double radius);

}  // namespace velto::host::cairo
