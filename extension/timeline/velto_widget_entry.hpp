#pragma once

#include "extension/model/shared_timer_snapshot.hpp"
#include "platform/foundation/date.hpp"

namespace velto::timeline {

/// One moment of the widget's timeline and the timer state shown from then on.
/// Owns its snapshot by value; supplies no relevance of its own.
struct VeltoWidgetEntry {
  platform::foundation::Date date;
  model::SharedTimerSnapshot snapshot;
};

}  // namespace velto::timeline
