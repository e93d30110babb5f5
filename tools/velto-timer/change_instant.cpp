#include "tools/velto-timer/change_instant.hpp"

namespace velto::timer {

bool isUntrustedFuture(platform::foundation::Date updatedAt, platform::foundation::Date now) {
  return updatedAt.timeIntervalSince(now) > kTrustedLeadSeconds;
}

PlannedChange planChange(std::optional<model::SharedTimerSnapshot> current, TimerCommand command,
                         std::optional<platform::foundation::Date> requested,
                         platform::foundation::Date now) {
  PlannedChange plan{std::move(current), requested.value_or(now)};
  if (!plan.current || plan.current->updatedAt <= plan.at) {
    return plan;
  }
  if (isUntrustedFuture(plan.current->updatedAt, now)) {
    plan.distrustedUpdate = true;
    plan.current->updatedAt = plan.at;
  } else if (!requested) {
    if (command == TimerCommand::start) {
      plan.current->updatedAt = plan.at;
    } else {
      plan.at = plan.current->updatedAt;
    }
  }
  return plan;
}

}  // namespace velto::timer
