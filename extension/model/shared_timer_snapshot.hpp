#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/date.hpp"

namespace velto::model {

/// The companion application's one project timer as seen at `updatedAt`.
struct SharedTimerSnapshot {
  /// What the timer is doing; outside the process always its raw text.
  enum class State : std::uint8_t { stopped, running, paused };

  SharedTimerSnapshot(State timerState, std::optional<std::string> project, double elapsed,
                      double today, platform::foundation::Date updated)
      : state(timerState),
        projectName(std::move(project)),
        elapsedSeconds(elapsed),
        todaySeconds(today),
        updatedAt(updated) {}

  /// A copy of the process-wide "no timer data" snapshot, made on first use and
  /// stamped with the instant of that use.
  static SharedTimerSnapshot empty();

  /// Field by field in declaration order; doubles by IEEE-754 (NaN never equal,
  /// 0.0 == -0.0), `updatedAt` exactly.
  friend bool operator==(const SharedTimerSnapshot&, const SharedTimerSnapshot&) = default;

  State state;
  /// Absent and empty are different: empty is a project with an empty name.
  std::optional<std::string> projectName;
  double elapsedSeconds;
  double todaySeconds;
  platform::foundation::Date updatedAt;
};

/// The raw text of `state`: "stopped", "running" or "paused".
constexpr std::string_view rawValue(SharedTimerSnapshot::State state) {
  switch (state) {
    case SharedTimerSnapshot::State::stopped:
      return "stopped";
    case SharedTimerSnapshot::State::running:
      return "running";
    case SharedTimerSnapshot::State::paused:
      return "paused";
  }
  return {};
}

/// The state whose raw text is exactly `text` (case-sensitive, untrimmed), if any.
constexpr std::optional<SharedTimerSnapshot::State> stateFromRawValue(std::string_view text) {
  for (const auto state : {SharedTimerSnapshot::State::stopped, SharedTimerSnapshot::State::running,
                           SharedTimerSnapshot::State::paused}) {
    if (rawValue(state) == text) {
      return state;
    }
  }
  return std::nullopt;
}

}  // namespace velto::model
