#pragma once

#include <string_view>

#include "extension/model/shared_timer_snapshot.hpp"

namespace velto::model {

/// Read-only access to the snapshot that the companion application shares.
struct SharedTimerStorage {
  SharedTimerStorage() = delete;

  /// The App Group suite that the companion application writes to.
  static constexpr std::string_view kAppGroupSuiteName = "group.app.velto";
  /// The data value under which the suite holds the snapshot's JSON.
  static constexpr std::string_view kSnapshotKey = "velto.sharedTimerSnapshot";

  /// The stored snapshot, read and decoded afresh on every call; `empty()` when
  /// there is none or it cannot be decoded. Never fails and keeps nothing.
  static SharedTimerSnapshot load();
};

}  // namespace velto::model
