#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velto::host {

/// What the supervisor asks of the loop that runs the extension, after one input.
/// Several fields may be set at once; the loop does them in the order below.
struct SupervisorAction {
  using Instant = std::chrono::steady_clock::time_point;

  /// Write this line to the log (empty: nothing to say).
  std::string log;
  /// Kill the child's whole process group (SIGKILL), then wait for its exit.
  bool killProcessGroup = false;
  /// Start a new child now.
  bool spawn = false;
  /// Call Supervisor::wake() at this instant to start the next child.
  std::optional<Instant> restartAt;
  /// Give up: no extension will ever start; `log` says why, and must reach the user.
  bool giveUp = false;

  friend bool operator==(const SupervisorAction&, const SupervisorAction&) = default;
};

/// Decides when the extension process is started, ended and started again. Pure
/// policy: it is told what happened and when (monotonic instants) and answers
/// with what to do. A child that fails after a minute of health is replaced at
/// once; any later failure before the next such minute waits out a backoff,
/// 0.25 s doubling up to 30 s, so a child that dies at once is restarted at that
/// pace and never in a tight loop.
class Supervisor {
 public:
  using Instant = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::milliseconds;

  static constexpr Duration kFirstBackoff{250};
  static constexpr Duration kMaxBackoff{30'000};
  /// A child that has answered this long since it became ready is replaced at
  /// once when it fails, and resets the backoff.
  static constexpr Duration kHealthyAfter{60'000};

  enum class State : std::uint8_t {
    /// No child and none wanted (before start(), after stop()).
    stopped,
    /// A child was asked for and has not answered its first request yet.
    starting,
    /// The child answers.
    ready,
    /// The child was killed for a fault; waiting for its exit.
    ending,
    /// No child; the next one starts at restartAt.
    backingOff,
  };

  /// Wants a child: spawn one now.
  SupervisorAction start(Instant now);

  /// The child could not be started at all (`reason`: one line).
  SupervisorAction spawnFailed(std::string_view reason, Instant now);

  /// The child's program cannot be run at all (missing, not executable, not a
  /// program): retrying cannot help, and showing what the last child drew would
  /// pass an old picture for the present, so the supervisor gives up.
  SupervisorAction cannotRun(std::string_view reason);

  /// The child answered its first request: it counts as healthy from `now`.
  SupervisorAction childReady(Instant now);

  /// The child exited; `status` reads like "exited with status 3" or "was killed by signal 9".
  SupervisorAction childExited(std::string_view status, Instant now);

  /// The child broke the protocol (`reason`: one line): kill it and restart later.
  SupervisorAction protocolFault(std::string_view reason, Instant now);

  /// A request found no reply in time (`method`: which one): kill and restart later.
  SupervisorAction replyTimedOut(std::string_view method, Instant now);

  /// Time passed to `now` (the restartAt instant came): spawn when it is due.
  SupervisorAction wake(Instant now);

  /// No more children: kill the one running, if any, and restart none.
  SupervisorAction stop();

  /// When wake() must next be called; nothing while no restart is waiting.
  std::optional<Instant> nextWake() const;

  State state() const { return state_; }

  /// The wait before the next restart, should the child fail now.
  Duration backoff() const { return backoff_; }

 private:
  SupervisorAction fail(std::string reason, bool kill, Instant now);

  State state_ = State::stopped;
  Duration backoff_ = kFirstBackoff;
  std::optional<Instant> readySince_;
  std::optional<Instant> failedAt_;
  std::optional<Instant> restartAt_;
  Duration pendingDelay_{0};  // the wait of a killed child, counted from failedAt_
};

}  // namespace velto::host
