#pragma once

// Printers so that failing expectations show snapshots and errors readably.

#include <iomanip>
#include <limits>
#include <ostream>

#include "extension/model/shared_timer_snapshot.hpp"
#include "extension/model/snapshot_json.hpp"

namespace velto::model {

inline const char* kindName(SnapshotDecodingError::Kind kind) {
  switch (kind) {
    case SnapshotDecodingError::Kind::notJSON:
      return "notJSON";
    case SnapshotDecodingError::Kind::topLevelNotObject:
      return "topLevelNotObject";
    case SnapshotDecodingError::Kind::duplicateKey:
      return "duplicateKey";
    case SnapshotDecodingError::Kind::keyMissing:
      return "keyMissing";
    case SnapshotDecodingError::Kind::valueNull:
      return "valueNull";
    case SnapshotDecodingError::Kind::typeMismatch:
      return "typeMismatch";
    case SnapshotDecodingError::Kind::unknownState:
      return "unknownState";
  }
  return "?";
}

inline void PrintTo(const SharedTimerSnapshot& snapshot, std::ostream* out) {
  *out << std::setprecision(std::numeric_limits<double>::max_digits10) << "{"
       << rawValue(snapshot.state) << ", ";
  if (snapshot.projectName) {
    *out << std::quoted(*snapshot.projectName);
  } else {
    *out << "no project";
  }
  *out << ", " << snapshot.elapsedSeconds << ", " << snapshot.todaySeconds << ", "
       << snapshot.updatedAt.timeIntervalSinceReferenceDate() << "}";
}

inline void PrintTo(const SnapshotDecodingError& error, std::ostream* out) {
  *out << kindName(error.kind);
  if (error.key) {
    *out << "(" << jsonKey(*error.key) << ")";
  }
}

inline void PrintTo(const SnapshotEncodingError& error, std::ostream* out) {
  *out << (error.kind == SnapshotEncodingError::Kind::nonFiniteNumber ? "nonFiniteNumber"
                                                                      : "invalidUTF8")
       << "(" << jsonKey(error.key) << ")";
}

}  // namespace velto::model
