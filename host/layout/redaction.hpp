#pragma once

// The placeholder's look: the shape of a widget without any of its values.

#include "host/layout/draw_command.hpp"

namespace velto::host::layout {

/// Every line of text becomes a rounded bar of its colour, dimmed, so the
/// shape of the widget shows but no value does.
DrawList redacted(const DrawList& list);

}  // namespace velto::host::layout
