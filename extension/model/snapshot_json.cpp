#include "extension/model/snapshot_json.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/foundation/json_parse.hpp"

namespace velto::model {
namespace {

using nlohmann::json;
using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using DecodeKind = SnapshotDecodingError::Kind;

constexpr std::array<SnapshotKey, 5> kKeys{SnapshotKey::state, SnapshotKey::projectName,
                                           SnapshotKey::elapsedSeconds, SnapshotKey::todaySeconds,
                                           SnapshotKey::updatedAt};

enum class ValueType : std::uint8_t { missing, null, boolean, number, string, array, object };

/// What the text held under one of the five keys.
struct Member {
  ValueType type = ValueType::missing;
  bool seen = false;
  bool repeated = false;
  double number = 0.0;
  std::string text;
};

/// A SAX handler that keeps only the top level's type and the five members; the
/// parser still checks everything else as JSON, without any tree being built.
class SnapshotReader {
 public:
  bool null() {
    take(ValueType::null);
    return true;
  }
  bool boolean(bool) {
    take(ValueType::boolean);
    return true;
  }
  bool number_integer(json::number_integer_t value) { return number(static_cast<double>(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return number(static_cast<double>(value)); }
  bool number_float(json::number_float_t value, const json::string_t&) { return number(value); }
  bool string(json::string_t& value) {
    if (Member* member = take(ValueType::string)) {
      member->text = std::move(value);
    }
    return true;
  }
  // Only binary formats produce these; JSON text never does.
  bool binary(json::binary_t&) { return false; }

  bool start_object(std::size_t) { return open(ValueType::object); }
  bool start_array(std::size_t) { return open(ValueType::array); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(json::string_t& name) {
    pending_ = nullptr;
    if (depth_ != 1) {
      return true;
    }
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
      if (name == jsonKey(kKeys[i])) {
        Member& member = members_[i];
        member.repeated = member.seen;
        member.seen = true;
        pending_ = &member;
        break;
      }
    }
    return true;
  }

  // Returning false stops the parser without it throwing.
  bool parse_error(std::size_t, const std::string&, const json::exception&) { return false; }

  Expected<SharedTimerSnapshot, SnapshotDecodingError> finish() &&;

 private:
  bool number(double value) {
    if (Member* member = take(ValueType::number)) {
      member->number = value;
    }
    return true;
  }

  bool open(ValueType type) {
    take(type);
    ++depth_;
    return true;
  }

  bool close() {
    --depth_;
    return true;
  }

  /// Notes a value's type where it matters and returns the member it belongs
  /// to, if it is the first value of one of the five keys.
  Member* take(ValueType type) {
    if (depth_ == 0) {
      topLevel_ = type;
      return nullptr;
    }
    Member* member = depth_ == 1 ? std::exchange(pending_, nullptr) : nullptr;
    if (member == nullptr || member->repeated) {
      return nullptr;
    }
    member->type = type;
    return member;
  }

  std::size_t depth_ = 0;
  ValueType topLevel_ = ValueType::missing;
  Member* pending_ = nullptr;
  std::array<Member, kKeys.size()> members_{};
};

Unexpected<SnapshotDecodingError> failure(DecodeKind kind, std::optional<SnapshotKey> key) {
  return Unexpected(SnapshotDecodingError{kind, key});
}

/// The checks every required member shares: present once, not null, of `type`.
std::optional<SnapshotDecodingError> checkRequired(const Member& member, SnapshotKey key,
                                                   ValueType type) {
  if (member.repeated) {
    return SnapshotDecodingError{DecodeKind::duplicateKey, key};
  }
  if (member.type == ValueType::missing) {
    return SnapshotDecodingError{DecodeKind::keyMissing, key};
  }
  if (member.type == ValueType::null) {
    return SnapshotDecodingError{DecodeKind::valueNull, key};
  }
  if (member.type != type) {
    return SnapshotDecodingError{DecodeKind::typeMismatch, key};
  }
  return std::nullopt;
}

// STEP 1: the top level is an object. STEP 2: "state" is one of the raw texts.
// STEP 3: "projectName" is a string, null or missing. STEPS 4-6: the three
// numbers are present and numbers. The first broken rule is the error.
Expected<SharedTimerSnapshot, SnapshotDecodingError> SnapshotReader::finish() && {
  if (topLevel_ != ValueType::object) {
    return failure(DecodeKind::topLevelNotObject, std::nullopt);
  }
  auto member = [this](SnapshotKey key) -> Member& {
    return members_[static_cast<std::size_t>(key)];
  };

  Member& state = member(SnapshotKey::state);
  if (auto error = checkRequired(state, SnapshotKey::state, ValueType::string)) {
    return Unexpected(*error);
  }
  const auto parsedState = stateFromRawValue(state.text);
  if (!parsedState) {
    return failure(DecodeKind::unknownState, SnapshotKey::state);
  }

  Member& name = member(SnapshotKey::projectName);
  std::optional<std::string> projectName;
  if (name.repeated) {
    return failure(DecodeKind::duplicateKey, SnapshotKey::projectName);
  }
  if (name.type == ValueType::string) {
    projectName = std::move(name.text);
  } else if (name.type != ValueType::missing && name.type != ValueType::null) {
    return failure(DecodeKind::typeMismatch, SnapshotKey::projectName);
  }

  for (const SnapshotKey key :
       {SnapshotKey::elapsedSeconds, SnapshotKey::todaySeconds, SnapshotKey::updatedAt}) {
    if (auto error = checkRequired(member(key), key, ValueType::number)) {
      return Unexpected(*error);
    }
  }
  return SharedTimerSnapshot(
      *parsedState, std::move(projectName), member(SnapshotKey::elapsedSeconds).number,
      member(SnapshotKey::todaySeconds).number, Date(member(SnapshotKey::updatedAt).number));
}

}  // namespace

std::string_view jsonKey(SnapshotKey key) {
  switch (key) {
    case SnapshotKey::state:
      return "state";
    case SnapshotKey::projectName:
      return "projectName";
    case SnapshotKey::elapsedSeconds:
      return "elapsedSeconds";
    case SnapshotKey::todaySeconds:
      return "todaySeconds";
    case SnapshotKey::updatedAt:
      return "updatedAt";
  }
  return {};
}

Expected<SharedTimerSnapshot, SnapshotDecodingError> decodeSnapshot(std::string_view text) {
  // The parser takes a raw NUL for the end of the text; it skips a leading
  // byte-order mark itself.
  if (text.empty() || platform::foundation::refuseNulBytes(text)) {
    return failure(DecodeKind::notJSON, std::nullopt);
  }
  SnapshotReader reader;
  bool parsed = false;
  try {
    parsed = json::sax_parse(text.data(), text.data() + text.size(), &reader);
  } catch (const json::exception&) {
    parsed = false;
  }
  if (!parsed) {
    return failure(DecodeKind::notJSON, std::nullopt);
  }
  return std::move(reader).finish();
}

Expected<SharedTimerSnapshot, SnapshotDecodingError> decodeSnapshot(
    std::span<const std::uint8_t> bytes) {
  // Reading bytes as chars is allowed aliasing; the parser's char path is its common one.
  return decodeSnapshot(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Expected<std::string, SnapshotEncodingError> encodeSnapshot(const SharedTimerSnapshot& snapshot) {
  // The library would write NaN and infinities as null, which reads back as a failure.
  const std::array<std::pair<SnapshotKey, double>, 3> numbers{{
      {SnapshotKey::elapsedSeconds, snapshot.elapsedSeconds},
      {SnapshotKey::todaySeconds, snapshot.todaySeconds},
      {SnapshotKey::updatedAt, snapshot.updatedAt.timeIntervalSinceReferenceDate()},
  }};
  for (const auto& [key, value] : numbers) {
    if (!std::isfinite(value)) {
      return Unexpected(SnapshotEncodingError{SnapshotEncodingError::Kind::nonFiniteNumber, key});
    }
  }

  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["state"] = std::string(rawValue(snapshot.state));
  if (snapshot.projectName) {
    object["projectName"] = *snapshot.projectName;
  }
  object["elapsedSeconds"] = snapshot.elapsedSeconds;
  object["todaySeconds"] = snapshot.todaySeconds;
  object["updatedAt"] = snapshot.updatedAt.timeIntervalSinceReferenceDate();
  try {
    // Refusing beats replacing bad bytes: a replaced name would not read back equal.
    return object.dump();
  } catch (const nlohmann::ordered_json::type_error&) {
    return Unexpected(
        SnapshotEncodingError{SnapshotEncodingError::Kind::invalidUTF8, SnapshotKey::projectName});
  }
}

}  // namespace velto::model
