#pragma once

// Runs the real velto-timer program and reads what it stored, for its tests.

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "extension/model/shared_timer_storage.hpp"
#include "extension/model/snapshot_json.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/foundation/user_defaults.hpp"
#include "tests/support/program_run.hpp"

namespace velto::test_support {

inline long lineCount(std::string_view text) {
  return std::count(text.begin(), text.end(), '\n');
}

inline ProgramRun timer(const std::vector<std::string>& arguments) {
  return runProgram(VELTO_TIMER_PROGRAM, arguments);
}

/// The stored snapshot, none when there is none or it does not decode.
inline std::optional<model::SharedTimerSnapshot> storedSnapshot() {
  const auto data = platform::foundation::UserDefaults::withSuiteName(
                        model::SharedTimerStorage::kAppGroupSuiteName)
                        ->dataForKey(model::SharedTimerStorage::kSnapshotKey);
  if (!data) {
    return std::nullopt;
  }
  auto snapshot = model::decodeSnapshot(std::span(*data));
  return snapshot ? std::optional(*snapshot) : std::nullopt;
}

inline void storeSnapshotJson(std::string_view json) {
  ASSERT_TRUE(platform::foundation::writeDefaultsData(
      model::SharedTimerStorage::kAppGroupSuiteName, model::SharedTimerStorage::kSnapshotKey,
      platform::foundation::test_support::bytesOf(json)));
}

}  // namespace velto::test_support
