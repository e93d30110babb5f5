#include "platform/foundation/clock.hpp"

#include <chrono>

namespace platform::foundation {

Date SystemClock::now() const {
  using namespace std::chrono;
  const auto sinceEpoch = duration<double>(system_clock::now().time_since_epoch());
  return Date::fromUnixSeconds(sinceEpoch.count());
}

const SystemClock& SystemClock::shared() {
  static const SystemClock clock;
  return clock;
}

Date TestClock::now() const {
  readings_.fetch_add(1);
  double current = seconds_.load();
  while (!seconds_.compare_exchange_weak(current, current + step_)) {
  }
  return Date(current);
}

void TestClock::advance(double seconds) {
  double current = seconds_.load();
  while (!seconds_.compare_exchange_weak(current, current + seconds)) {
  }
}

}  // namespace platform::foundation
