#pragma once

#include <optional>
#include <string_view>

#include "tools/velto-timer/timer_transition.hpp"

namespace velto::timer {

/// The command that a link of the widget asks for: "velto://toggle" toggles and
/// "velto://stop" stops. Any other text, differing only in case, in a trailing
/// slash, a query or a fragment, asks for nothing.
std::optional<TimerCommand> commandForLink(std::string_view url);

}  // namespace velto::timer
