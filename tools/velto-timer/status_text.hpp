#pragma once

#include <optional>
#include <string>

#include "extension/model/shared_timer_snapshot.hpp"
#include "platform/foundation/date.hpp"
#include "tools/velto-timer/time_zone.hpp"

namespace velto::timer {

/// One line for people: "running · Deep Work · 01:13:02 · today 2h 55m", the
/// times as they stand at `now` (a running timer counted up to it, the day's total
/// of an earlier day shown as 0m), the name escaped as printableText escapes
/// untrusted text. "stopped · no timer" when there is none.
std::string statusLine(const std::optional<model::SharedTimerSnapshot>& snapshot,
                       platform::foundation::Date now, const TimeZone& zone);

}  // namespace velto::timer
