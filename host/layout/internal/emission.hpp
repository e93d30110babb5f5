#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "host/layout/draw_command.hpp"
#include "host/layout/layout_tree.hpp"

namespace velto::host::layout::internal {

/// Which command draws the line of a text or label node.
struct TextCommandRef {
  NodeId node = 0;
  std::size_t command = 0;
};

/// Stage 3 of the layout; when `texts` is given, also notes every DrawText's node.
DrawList emitCommands(const LayoutTree& tree, const LayoutResults& results,
                      std::vector<TextCommandRef>* texts);

/// The command that draws a fitted line in `box`; none for an empty line.
std::optional<DrawText> textCommand(const TextNode& node, const TextFit& fit, const Rect& box);

}  // namespace velto::host::layout::internal
