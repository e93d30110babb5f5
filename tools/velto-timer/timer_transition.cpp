#include "tools/velto-timer/timer_transition.hpp"

namespace velto::timer {

namespace {

using model::SharedTimerSnapshot;
using platform::foundation::Date;
using State = SharedTimerSnapshot::State;

platform::foundation::Unexpected<TransitionError> refuse(TransitionError::Kind kind,
                                                         std::string message) {
  return platform::foundation::Unexpected(TransitionError{kind, std::move(message)});
}

}  // namespace

std::string_view commandName(TimerCommand command) {
  switch (command) {
    case TimerCommand::start:
      return "start";
    case TimerCommand::pause:
      return "pause";
    case TimerCommand::resume:
      return "resume";
    case TimerCommand::toggle:
      return "toggle";
    case TimerCommand::stop:
      return "stop";
  }
  return {};
}

SharedTimerSnapshot advancedTo(const SharedTimerSnapshot& snapshot, Date at, const TimeZone& zone) {
  SharedTimerSnapshot next = snapshot;
  next.updatedAt = at;
  const Date dayStart = zone.startOfDay(at);
  const bool sameDay = snapshot.updatedAt >= dayStart;
  if (snapshot.state == State::running) {
    const double interval = at.timeIntervalSince(snapshot.updatedAt);
    next.elapsedSeconds += interval;
    next.todaySeconds = sameDay ? snapshot.todaySeconds + interval : at.timeIntervalSince(dayStart);
  } else if (!sameDay) {
    next.todaySeconds = 0;
  }
  return next;
}

platform::foundation::Expected<std::optional<SharedTimerSnapshot>, TransitionError> applyCommand(
    const std::optional<SharedTimerSnapshot>& current, TimerCommand command,
    const std::optional<std::string>& project, Date at, const TimeZone& zone) {
  if (current && at < current->updatedAt) {
    return refuse(TransitionError::Kind::beforeUpdate,
                  "cannot record a change before the timer's last change");
  }
  const State state = current ? current->state : State::stopped;
  if (command == TimerCommand::toggle) {
    if (state == State::stopped) {
      return refuse(TransitionError::Kind::noTimer, "no timer to toggle: the timer is stopped");
    }
    command = state == State::running ? TimerCommand::pause : TimerCommand::resume;
  }
  switch (command) {
    case TimerCommand::start: {
      // A timer that runs or is paused stops first; its time counts for the day.
      const double today = current ? advancedTo(*current, at, zone).todaySeconds : 0.0;
      return std::optional(SharedTimerSnapshot(State::running, project, 0.0, today, at));
    }
    case TimerCommand::pause:
    case TimerCommand::stop: {
      const bool pausing = command == TimerCommand::pause;
      if (state == State::stopped) {
        if (pausing) {
          return refuse(TransitionError::Kind::noTimer, "no timer to pause: the timer is stopped");
        }
        return std::optional<SharedTimerSnapshot>();
      }
      if (pausing && state == State::paused) {
        return std::optional<SharedTimerSnapshot>();
      }
      SharedTimerSnapshot next = advancedTo(*current, at, zone);
      next.state = pausing ? State::paused : State::stopped;
      return std::optional(std::move(next));
    }
    case TimerCommand::resume: {
      if (state == State::stopped) {
        return refuse(TransitionError::Kind::noTimer, "no timer to resume: the timer is stopped");
      }
      if (state == State::running) {
        return std::optional<SharedTimerSnapshot>();
      }
      SharedTimerSnapshot next = advancedTo(*current, at, zone);
      next.state = State::running;
      return std::optional(std::move(next));
    }
    case TimerCommand::toggle:
      break;
  }
  return std::optional<SharedTimerSnapshot>();
}

}  // namespace velto::timer
