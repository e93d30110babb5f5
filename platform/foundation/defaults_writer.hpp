#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/expected.hpp"

namespace platform::foundation {

/// Why a defaults command could not be carried out.
struct DefaultsError {
  enum class Code : std::uint8_t {
    invalidArgument,  // a domain or key that cannot name a value
    noSuchDomain,     // the domain has no file
    noSuchKey,        // the domain holds no value under the key
    unreadable,       // the file exists but cannot be read (or is not a regular file)
    malformed,        // the file is not a property list with a dictionary at its root
    writeFailed,      // the new file could not be written or put in place
  };
  Code code;
  std::string message;  // one line, for a person
};

/// Stores `bytes` as a data value under `key` in `domain`, replacing the file
/// atomically under an advisory lock; other keys are kept. Fails, changing
/// nothing, when the existing file cannot be read as a domain.
Expected<void, DefaultsError> writeDefaultsData(std::string_view domain, std::string_view key,
                                                std::span<const std::uint8_t> bytes);

/// Stores `text` as a string value under `key` in `domain`, as writeDefaultsData does.
Expected<void, DefaultsError> writeDefaultsString(std::string_view domain, std::string_view key,
                                                  std::string_view text);

}  // namespace platform::foundation
