#pragma once

// What assistive technologies are told of the widget on display: its texts in
// reading order and its buttons, each named from its symbol and opening its link.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/layout/draw_command.hpp"
#include "host/layout/geometry.hpp"

namespace velto::host::gtk {

struct AccessibleNode {
  enum class Role : std::uint8_t { text, button };
  /// What a text stands for, where the widget makes it plain.
  enum class Meaning : std::uint8_t {
    plain,
    /// A clock readout: how long the timer has run.
    elapsed,
    /// A duration beside the sun symbol: the day's total.
    today,
  };
  Role role = Role::text;
  /// What a person hears: the text shown (durations in words), or the
  /// button's name ("Pause").
  std::string name;
  /// The link a button opens; empty for a text.
  std::string url;
  /// Where it is, in points.
  layout::Rect box;
  /// What a button does, in words ("Pause the timer"); empty when unknown.
  std::string description;
  Meaning meaning = Meaning::plain;
  /// The duration an elapsed or today text shows, in seconds.
  std::int64_t seconds = 0;
  friend bool operator==(const AccessibleNode&, const AccessibleNode&) = default;
};

/// The name a person hears for a button showing `symbol`: "Pause" for
/// "pause.fill", "Play", "Stop"; other symbols by their first word, capitalised
/// ("sun.max" → "Sun"); empty for an empty name.
std::string symbolName(std::string_view symbol);

/// What pressing a button showing `symbol` does: "Pause the timer" for
/// "pause.fill", "Resume the timer", "Stop the timer"; empty for other symbols.
std::string symbolAction(std::string_view symbol);

/// The nodes of a laid-out widget in reading order (top to bottom, then left to
/// right within a row). A link becomes one button named from the symbols and
/// texts painted inside it (the URL when it shows none); texts inside a link
/// are part of its button, not nodes of their own; symbols outside links are
/// decoration and are left out, save that the sun marks the duration beside
/// it as today's. Clock readouts and durations are named in words.
std::vector<AccessibleNode> accessibleTree(const layout::DrawList& list);

/// The widget in one sentence, from its nodes: its texts other than its own
/// name `widgetName`, the timer's state as its buttons tell it (a pause button:
/// running; play: paused; neither: stopped), the readout to the minute and
/// today's total: "Deep Work, running, 12 minutes; today 1 hour 30 minutes".
/// To the minute, so that it changes with the state, not with every tick.
/// Empty without nodes.
std::string widgetSummary(const std::vector<AccessibleNode>& nodes, std::string_view widgetName);

}  // namespace velto::host::gtk
