#pragma once

#include <optional>

#include "extension/model/shared_timer_snapshot.hpp"
#include "platform/foundation/date.hpp"
#include "tools/velto-timer/timer_transition.hpp"

namespace velto::timer {

/// How far, in seconds, a stored last change may lie ahead of this clock and
/// still be taken as the timer's last change: another clock a little ahead, not
/// a script that wrote Unix time where seconds since 2001 belong.
inline constexpr double kTrustedLeadSeconds = 300;

/// Whether `updatedAt` lies too far ahead of `now` to be any clock's present.
bool isUntrustedFuture(platform::foundation::Date updatedAt, platform::foundation::Date now);

/// The stored timer and the instant to record a command at, ready for applyCommand.
struct PlannedChange {
  std::optional<model::SharedTimerSnapshot> current;
  platform::foundation::Date at;
  bool distrustedUpdate = false;  // the stored updatedAt was too far ahead to count
};

/// Decides when `command` happens: at `requested` (a --at) or `now`. A start
/// always begins then. Another command on a timer whose last change is a little
/// ahead of `now` happens at that change, so no time counts negative; a last
/// change beyond kTrustedLeadSeconds is not trusted at all: the timer counts as
/// last changed at the command's instant, so the unknown interval adds nothing.
PlannedChange planChange(std::optional<model::SharedTimerSnapshot> current, TimerCommand command,
                         std::optional<platform::foundation::Date> requested,
                         platform::foundation::Date now);

}  // namespace velto::timer
