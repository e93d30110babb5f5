#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/foundation/defaults_error.hpp"
#include "platform/foundation/expected.hpp"

namespace platform::foundation {

// Every function here changes one domain under an exclusive advisory lock held
// across read, change and write, so concurrent writers lose no update. The file
// is replaced atomically in its binary form: a reader sees the old or the new
// file, never half of one. When the existing file cannot be read as a domain,
// or the domain would outgrow the readers' size cap, nothing is changed.

/// Stores `bytes` as a data value under `key` in `domain`; other keys are kept.
/// Creates the domain, and its folders with mode 0700, when missing.
Expected<void, DefaultsError> writeDefaultsData(std::string_view domain, std::string_view key,
                                                std::span<const std::uint8_t> bytes);

/// Stores `text` as a string value under `key` in `domain`, as writeDefaultsData does.
Expected<void, DefaultsError> writeDefaultsString(std::string_view domain, std::string_view key,
                                                  std::string_view text);

/// Removes the value under `key` from `domain`; fails with noSuchDomain or
/// noSuchKey, writing nothing, when there is none.
Expected<void, DefaultsError> deleteDefaultsKey(std::string_view domain, std::string_view key);

}  // namespace platform::foundation
