#include "extension/model/shared_timer_storage.hpp"

#include <utility>

#include "extension/model/internal/shared_timer_storage_internal.hpp"
#include "extension/model/snapshot_json.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace velto::model {

namespace internal {

// STEP 1: open the suite, or else the standard defaults. STEP 2: take the data
// value under the key. STEP 3: decode it. Any miss or failure gives `empty()`.
SharedTimerSnapshot loadSharedSnapshot(std::string_view suiteName) {
  using platform::foundation::UserDefaults;
  auto suite = UserDefaults::withSuiteName(suiteName);
  const UserDefaults defaults = suite ? std::move(*suite) : UserDefaults::standard();
  const auto bytes = defaults.dataForKey(SharedTimerStorage::kSnapshotKey);
  if (!bytes) {
    return SharedTimerSnapshot::empty();
  }
  auto snapshot = decodeSnapshot(*bytes);
  if (!snapshot) {
    return SharedTimerSnapshot::empty();
  }
  return std::move(*snapshot);
}

}  // namespace internal

SharedTimerSnapshot SharedTimerStorage::load() {
  return internal::loadSharedSnapshot(kAppGroupSuiteName);
}

}  // namespace velto::model
