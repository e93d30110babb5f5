#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "extension/model/shared_timer_snapshot.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::model {

/// The five members of a snapshot's JSON object, in field order.
enum class SnapshotKey : std::uint8_t {
  state,
  projectName,
  elapsedSeconds,
  todaySeconds,
  updatedAt
};

/// The member name of `key` in the JSON object, e.g. "elapsedSeconds".
std::string_view jsonKey(SnapshotKey key);

/// The first rule that a JSON text broke on its way to becoming a snapshot.
struct SnapshotDecodingError {
  enum class Kind : std::uint8_t {
    notJSON,            // not one complete JSON text (a raw NUL byte included)
    topLevelNotObject,  // valid JSON, but not an object
    duplicateKey,       // one of the five members appears more than once
    keyMissing,         // a required member is not there
    valueNull,          // a required member is null
    typeMismatch,       // a member holds the wrong JSON type
    unknownState,       // "state" is none of the three raw texts
  };
  Kind kind;
  /// The member at fault; absent for notJSON and topLevelNotObject.
  std::optional<SnapshotKey> key;

  friend bool operator==(const SnapshotDecodingError&, const SnapshotDecodingError&) = default;
};

/// Why a snapshot could not be written as JSON.
struct SnapshotEncodingError {
  enum class Kind : std::uint8_t {
    nonFiniteNumber,  // NaN or an infinity, which JSON cannot hold
    invalidUTF8,      // "projectName" is not valid UTF-8
  };
  Kind kind;
  SnapshotKey key;

  friend bool operator==(const SnapshotEncodingError&, const SnapshotEncodingError&) = default;
};

/// Decodes one UTF-8 JSON object (a leading byte-order mark is allowed). Members
/// other than the five are ignored but must still be valid JSON; reports the
/// first broken rule, checking "state", "projectName", "elapsedSeconds",
/// "todaySeconds" and "updatedAt" in that order. Only running out of memory throws.
platform::foundation::Expected<SharedTimerSnapshot, SnapshotDecodingError> decodeSnapshot(
    std::span<const std::uint8_t> bytes);

/// As above, for text already in memory.
platform::foundation::Expected<SharedTimerSnapshot, SnapshotDecodingError> decodeSnapshot(
    std::string_view text);

/// Writes the members in field order, without "projectName" when it is absent,
/// numbers in their shortest round-trip form. Only running out of memory throws.
platform::foundation::Expected<std::string, SnapshotEncodingError> encodeSnapshot(
    const SharedTimerSnapshot& snapshot);

}  // namespace velto::model
