#pragma once

// The one way this code base turns untrusted JSON text into a tree.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/foundation/expected.hpp"

namespace platform::foundation {

/// What a caller allows of one JSON text.
struct JsonLimits {
  /// Longest text accepted, in bytes.
  std::size_t maxBytes;
  /// Most arrays and objects open at once: 1 allows `[1]` but not `[[1]]`.
  int maxDepth;
};

/// Why a JSON text was refused.
struct JsonParseError {
  enum class Code : std::uint8_t {
    tooLarge,      // longer than JsonLimits::maxBytes
    nulByte,       // holds a raw NUL byte, which JSON text never does
    syntax,        // not one JSON text (invalid UTF-8, trailing bytes, …)
    tooDeep,       // nests deeper than JsonLimits::maxDepth
    duplicateKey,  // an object names one key twice
  };
  Code code;
  /// One line, for a person.
  std::string message;

  friend bool operator==(const JsonParseError&, const JsonParseError&) = default;
};

/// The tree of the JSON text `text` (an explicit byte range, never read past),
/// checked against `limits` before anything deeper than the limit is built. A
/// leading UTF-8 byte-order mark is skipped. Never throws, except std::bad_alloc.
Expected<nlohmann::json, JsonParseError> parseJson(std::string_view text, JsonLimits limits);

/// The guard every JSON reader runs before its parser: a refusal when `bytes`
/// holds a NUL byte, else nothing. For readers that keep a SAX path of their own.
std::optional<JsonParseError> refuseNulBytes(std::string_view bytes);

}  // namespace platform::foundation
