#include "tools/velto-timer/deep_link.hpp"

namespace velto::timer {

std::optional<TimerCommand> commandForLink(std::string_view url) {
  if (url == "velto://toggle") {
    return TimerCommand::toggle;
  }
  if (url == "velto://stop") {
    return TimerCommand::stop;
  }
  return std::nullopt;
}

}  // namespace velto::timer
