#pragma once

#include "platform/widgets/protocol/messages.hpp"

namespace velto::host {

/// An entry as the host receives it: from `date` on, show `view` (the widget's
/// tree for one family, container background included).
using ViewEntry = platform::widgets::protocol::EntryMessage;

/// A timeline as the host keeps it: entries in the order given, and its reload policy.
using ViewTimeline = platform::widgets::protocol::TimelineMessage;

}  // namespace velto::host
