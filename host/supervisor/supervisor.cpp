#include "host/supervisor/supervisor.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace velto::host {

namespace {

SupervisorAction spawnNow() {
  SupervisorAction action;
  action.spawn = true;
  return action;
}

/// "0.25 s", "1 s", "30 s".
std::string seconds(Supervisor::Duration wait) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(wait.count()) / 1000.0);
  return text;
}

}  // namespace

SupervisorAction Supervisor::start(Instant now) {
  if (state_ != State::stopped) {
    return {};
  }
  (void)now;
  state_ = State::starting;
  backoff_ = kFirstBackoff;
  readySince_.reset();
  restartAt_.reset();
  return spawnNow();
}

SupervisorAction Supervisor::spawnFailed(std::string_view reason, Instant now) {
  if (state_ != State::starting) {
    return {};
  }
  return fail("cannot start the extension: " + std::string(reason), /*kill=*/false, now);
}

SupervisorAction Supervisor::cannotRun(std::string_view reason) {
  if (state_ != State::starting) {
    return {};
  }
  state_ = State::stopped;
  readySince_.reset();
  restartAt_.reset();
  SupervisorAction action;
  action.log = "cannot start the extension: " + std::string(reason);
  action.giveUp = true;
  return action;
}

SupervisorAction Supervisor::childReady(Instant now) {
  if (state_ == State::starting) {
    state_ = State::ready;
    readySince_ = now;
  }
  return {};
}

SupervisorAction Supervisor::childExited(std::string_view status, Instant now) {
  switch (state_) {
    case State::starting:
    case State::ready: {
      // Whatever the child left behind in its group goes with it.
      SupervisorAction action = fail("the extension " + std::string(status), /*kill=*/false, now);
      action.killProcessGroup = true;
      return action;
    }
    case State::ending: {
      // The fault was logged when the child was killed; its wait counts from then.
      if (pendingDelay_ == Duration{0}) {
        state_ = State::starting;
        return spawnNow();
      }
      state_ = State::backingOff;
      restartAt_ = std::max(now, *failedAt_ + pendingDelay_);
      SupervisorAction action;
      action.restartAt = restartAt_;
      return action;
    }
    case State::stopped:
    case State::backingOff:
      return {};
  }
  return {};
}

SupervisorAction Supervisor::protocolFault(std::string_view reason, Instant now) {
  if (state_ != State::starting && state_ != State::ready) {
    return {};
  }
  return fail(std::string(reason), /*kill=*/true, now);
}

SupervisorAction Supervisor::replyTimedOut(std::string_view method, Instant now) {
  if (state_ != State::starting && state_ != State::ready) {
    return {};
  }
  return fail("the extension did not answer '" + std::string(method) + "' in time",
              /*kill=*/true, now);
}

SupervisorAction Supervisor::wake(Instant now) {
  if (state_ != State::backingOff || !restartAt_ || now < *restartAt_) {
    return {};
  }
  state_ = State::starting;
  restartAt_.reset();
  return spawnNow();
}

SupervisorAction Supervisor::stop() {
  const bool childLeft =
      state_ == State::starting || state_ == State::ready || state_ == State::ending;
  state_ = State::stopped;
  restartAt_.reset();
  readySince_.reset();
  SupervisorAction action;
  action.killProcessGroup = childLeft;
  return action;
}

std::optional<Supervisor::Instant> Supervisor::nextWake() const {
  return state_ == State::backingOff ? restartAt_ : std::nullopt;
}

SupervisorAction Supervisor::fail(std::string reason, bool kill, Instant now) {
  // STEP 1: a child that stayed healthy long enough is replaced at once, and
  // the next failure waits the shortest time again.
  const bool healthy = readySince_ && now - *readySince_ >= kHealthyAfter;
  readySince_.reset();
  Duration delay{0};
  if (healthy) {
    backoff_ = kFirstBackoff;
  } else {
    // STEP 2: this failure waits out the current backoff; the next one waits twice as long.
    delay = backoff_;
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
  }
  SupervisorAction action;
  action.log = std::move(reason)
               + (healthy ? std::string("; starting it again now")
                          : "; starting it again in " + seconds(delay));
  // STEP 3: a child still running is killed and its exit awaited; otherwise the
  // next one starts now or after the wait.
  if (kill) {
    state_ = State::ending;
    failedAt_ = now;
    pendingDelay_ = delay;
    action.killProcessGroup = true;
  } else if (healthy) {
    state_ = State::starting;
    action.spawn = true;
  } else {
    state_ = State::backingOff;
    restartAt_ = now + delay;
    action.restartAt = restartAt_;
  }
  return action;
}

}  // namespace velto::host
