#include "platform/widgets/environment.hpp"

namespace platform::widgets {

namespace {
// Each thread builds its own views; the host may build on several at once.
thread_local const EnvironmentValues* tCurrent = nullptr;
const EnvironmentValues kDefaults{};
}  // namespace

EnvironmentScope::EnvironmentScope(const EnvironmentValues& values) : previous_(tCurrent) {
  tCurrent = &values;
}

EnvironmentScope::~EnvironmentScope() {
  tCurrent = previous_;
}

const EnvironmentValues& EnvironmentScope::current() {
  return tCurrent != nullptr ? *tCurrent : kDefaults;
}

}  // namespace platform::widgets
