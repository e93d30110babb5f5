#pragma once

// The timer's commands on the stored snapshot: each change one transaction on
// the shared domain, and the status read from it.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/tool_exit.hpp"
#include "tools/velto-timer/timer_transition.hpp"

namespace velto::timer {

using Failure = platform::foundation::ToolFailure;

/// Prints `text` and a newline on stdout.
std::optional<Failure> printLine(std::string text);

/// A command on the stored timer, as the command line or a link asks it.
struct Change {
  TimerCommand command = TimerCommand::start;
  std::optional<std::string> project;
  std::optional<std::string> at;  // --at as given
  bool force = false;             // start --force: replace a damaged snapshot or domain file
  std::chrono::milliseconds lockWait = platform::foundation::kDefaultLockWait;
};

/// What a command did: lines that tell of something unusual it worked around
/// (for stderr when it succeeds), and why it failed, if it did.
struct CommandOutcome {
  std::vector<std::string> notices;
  std::optional<Failure> failure;
};

/// Carries out `change` on the stored snapshot as one transaction; the clock is
/// read under the domain's lock, so that concurrent runs apply in a clear order.
CommandOutcome applyChange(const Change& change);

/// Prints the stored timer's state in one line, or with `json` the stored
/// snapshot's JSON (in ASCII, so that it reaches a terminal as plain text).
CommandOutcome showStatus(bool json);

}  // namespace velto::timer
