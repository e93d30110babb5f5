#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "extension/model/shared_timer_snapshot.hpp"
#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"
#include "tools/velto-timer/time_zone.hpp"

namespace velto::timer {

/// What a person or a link asks of the timer.
enum class TimerCommand : std::uint8_t { start, pause, resume, toggle, stop };

/// The command's name on the command line: "start", "pause", ...
std::string_view commandName(TimerCommand command);

/// Why a command cannot be carried out on the stored timer.
struct TransitionError {
  enum class Kind : std::uint8_t {
    noTimer,       // pause, resume or toggle with no timer running or paused
    beforeUpdate,  // the change would be recorded before the stored updatedAt
  };
  Kind kind;
  std::string message;
};

/// The snapshot as it stands at `at` (not before `snapshot.updatedAt`): a running
/// timer's time since `updatedAt` added to `elapsedSeconds`, and `todaySeconds`
/// as tracked on the local day of `at`, which starts afresh on a later day and
/// counts a running interval only from local midnight on.
model::SharedTimerSnapshot advancedTo(const model::SharedTimerSnapshot& snapshot,
                                      platform::foundation::Date at, const TimeZone& zone);

/// The snapshot after `command` at `at`, or nothing when the timer is already as
/// asked (pause while paused, resume while running, stop while stopped or with
/// no timer). `current` is the stored snapshot, none when there is none;
/// `project` is the name a start gives the new timer.
platform::foundation::Expected<std::optional<model::SharedTimerSnapshot>, TransitionError>
applyCommand(const std::optional<model::SharedTimerSnapshot>& current, TimerCommand command,
             const std::optional<std::string>& project, platform::foundation::Date at,
             const TimeZone& zone);

}  // namespace velto::timer
