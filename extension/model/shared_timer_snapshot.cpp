#include "extension/model/shared_timer_snapshot.hpp"

#include "platform/foundation/clock.hpp"

namespace velto::model {

SharedTimerSnapshot SharedTimerSnapshot::empty() {
  // A function-local static is initialised once even under concurrent first calls.
  static const SharedTimerSnapshot value(State::stopped, std::nullopt, 0.0, 0.0,
                                         platform::foundation::SystemClock::shared().now());
  return value;
}

}  // namespace velto::model
