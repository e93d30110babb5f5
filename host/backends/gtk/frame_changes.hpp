#pragma once

// What differs from one frame of a widget to the next, so that a tick redraws
// only the boxes that changed, and the placeholder's look.

#include <optional>
#include <vector>

#include "host/layout/draw_command.hpp"
#include "host/layout/geometry.hpp"

namespace velto::host::gtk {

/// The box a command paints into (a clip's or a link's box for those).
layout::Rect commandBox(const layout::DrawCommand& command);

/// The boxes of the commands that differ between two frames, each changed
/// command's old and new box. Nothing when the frames do not pair command for
/// command (a new layout): then the whole widget needs drawing.
std::optional<std::vector<layout::Rect>> changedBoxes(const layout::DrawList& before,
                                                      const layout::DrawList& after);

/// The smallest box holding every box in `boxes`; nothing for none.
std::optional<layout::Rect> unite(const std::vector<layout::Rect>& boxes);

/// The placeholder's look: every line of text becomes a rounded bar of its
/// colour, dimmed, so the shape of the widget shows but no value does.
layout::DrawList redacted(const layout::DrawList& list);

}  // namespace velto::host::gtk
