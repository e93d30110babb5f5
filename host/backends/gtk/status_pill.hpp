#pragma once

// The one-line message pill along the widget's bottom edge, for faults the
// widget cannot show in its own face (lost connection, no timer to show).

#include <string_view>

#include <cairo.h>

#include "host/layout/geometry.hpp"

namespace velto::host::gtk {

/// Paints `message` in a pill across the bottom of a widget of `widget` size,
/// ellipsized to fit one line.
void paintStatusPill(cairo_t* cr, layout::Size widget, std::string_view message);

}  // namespace velto::host::gtk
