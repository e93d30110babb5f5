#include "tools/velto-timer/status_text.hpp"

#include "extension/format/duration_text.hpp"
#include "platform/foundation/printable_text.hpp"
#include "tools/velto-timer/timer_transition.hpp"

namespace velto::timer {

std::string statusLine(const std::optional<model::SharedTimerSnapshot>& snapshot,
                       platform::foundation::Date now, const TimeZone& zone) {
  if (!snapshot) {
    return "stopped · no timer";
  }
  // A snapshot from a clock ahead of ours is shown as it was stored.
  const model::SharedTimerSnapshot shown =
      now >= snapshot->updatedAt ? advancedTo(*snapshot, now, zone) : *snapshot;
  std::string line(model::rawValue(shown.state));
  line += " · ";
  line += shown.projectName ? platform::foundation::printableText(*shown.projectName)
                            : std::string("no project");
  line += " · " + format::veltoClockText(shown.elapsedSeconds);
  line += " · today " + format::veltoCompactText(shown.todaySeconds);
  return line;
}

}  // namespace velto::timer
