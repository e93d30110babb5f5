#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/defaults_error.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace platform::foundation {

// Strict reading of a defaults domain, for tools that must tell a missing domain
// from a damaged one. The file is read with the same hardening, cap and bounds
// as UserDefaults reads it, but each failure is reported instead of reading as
// an empty domain.

/// The type of a value in a defaults domain.
enum class DefaultsValueType : std::uint8_t {
  data,
  string,
  integer,
  real,
  boolean,
  date,
  array,
  dictionary,
  uid,
  unknown,
};

/// The type's name in listings: "data", "string", "integer", "real", "boolean",
/// "date", "array", "dictionary", "uid" or "unknown".
std::string_view defaultsValueTypeName(DefaultsValueType type);

/// A key of a domain and the type of its value.
struct DefaultsEntry {
  std::string key;
  DefaultsValueType type;

  friend bool operator==(const DefaultsEntry&, const DefaultsEntry&) = default;
};

/// One value: the bytes of a data value or the UTF-8 text of a string value; for
/// a value of any other type only its type, with no bytes.
struct DefaultsValue {
  DefaultsValueType type;
  Bytes bytes;
};

/// The keys of `domain` with the types of their values, sorted by key bytes.
/// Fails with invalidArgument, noSuchDomain, unreadable, tooLarge or malformed.
Expected<std::vector<DefaultsEntry>, DefaultsError> listDefaultsKeys(std::string_view domain);

/// The value under `key` in `domain`; fails as listDefaultsKeys does, and with
/// noSuchKey when the domain holds no value under `key`.
Expected<DefaultsValue, DefaultsError> readDefaultsValue(std::string_view domain,
                                                         std::string_view key);

/// The value under `key` in `contents`, the bytes of a domain file, parsed as every
/// reader parses them. Lets fuzzers and benchmarks reach the parser without files.
Expected<DefaultsValue, DefaultsError> readDefaultsValueFromContents(
    std::span<const std::uint8_t> contents, std::string_view key);

}  // namespace platform::foundation
