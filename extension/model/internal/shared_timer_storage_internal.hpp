#pragma once

#include <string_view>

#include "extension/model/shared_timer_snapshot.hpp"

namespace velto::model::internal {

/// `SharedTimerStorage::load()` for any suite name, so that tests can reach the
/// fallback to the standard defaults, which the real suite name never takes.
SharedTimerSnapshot loadSharedSnapshot(std::string_view suiteName);

}  // namespace velto::model::internal
