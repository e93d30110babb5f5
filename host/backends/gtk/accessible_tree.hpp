#pragma once

// What assistive technologies are told of the widget on display: its texts in
// reading order and its buttons, each named from its symbol and opening its link.

#include <string>
#include <string_view>
#include <vector>

#include "host/layout/draw_command.hpp"
#include "host/layout/geometry.hpp"

namespace velto::host::gtk {

struct AccessibleNode {
  enum class Role : std::uint8_t { text, button };
  Role role = Role::text;
  /// The text shown, or the button's name ("Pause").
  std::string name;
  /// The link a button opens; empty for a text.
  std::string url;
  /// Where it is, in points.
  layout::Rect box;
  friend bool operator==(const AccessibleNode&, const AccessibleNode&) = default;
};

/// The name a person hears for a button showing `symbol`: "Pause" for
/// "pause.fill", "Play", "Stop"; other symbols by their first word, capitalised
/// ("sun.max" → "Sun"); empty for an empty name.
std::string symbolName(std::string_view symbol);

/// The nodes of a laid-out widget in reading order (top to bottom, then left to
/// right within a row). A link becomes one button named from the symbols and
/// texts painted inside it (the URL when it shows none); texts inside a link
/// are part of its button, not nodes of their own; symbols outside links are
/// decoration and are left out.
std::vector<AccessibleNode> accessibleTree(const layout::DrawList& list);

}  // namespace velto::host::gtk
