#pragma once

#include <string_view>

#include <cairo.h>

#include "host/layout/geometry.hpp"
#include "platform/ui/font.hpp"

namespace velto::host::cairo {

/// Whether drawSymbol() has a drawing of its own for `name`: "hourglass",
/// "sun.max", "play.fill", "pause.fill" and "stop.fill".
bool isKnownSymbol(std::string_view name);

/// Draws the symbol `name` to fill the square `box` in the current source
/// colour, strokes as heavy as `weight`; an unknown name draws an empty rounded
/// box. Leaves the context's state as it found it.
void drawSymbol(cairo_t* cr, std::string_view name, const layout::Rect& box,
                platform::ui::Font::Weight weight);

}  // namespace velto::host::cairo
