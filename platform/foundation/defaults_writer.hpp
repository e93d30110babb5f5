#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "platform/foundation/defaults_domain.hpp"
#include "platform/foundation/defaults_error.hpp"
#include "platform/foundation/expected.hpp"

namespace platform::foundation {

// Every function here changes one domain under an exclusive advisory lock held
// across read, change and write, so concurrent writers lose no update. The file
// is replaced atomically in its binary form: a reader sees the old or the new
// file, never half of one. When the existing file cannot be read as a domain,
// or the domain would outgrow the readers' size cap, nothing is changed. Keys
// and string values must be well-formed UTF-8 (invalidText otherwise). A failed
// call leaves neither a lock file nor a temporary file of its own behind, and
// every write first removes temporary files that killed writers left.

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

/// Decides the next value under a key from the current one (none when the domain
/// or the key is missing): a data or string value to store, nothing to leave the
/// domain as it is, or an error to give up with.
using DefaultsChange = std::function<Expected<std::optional<DefaultsValue>, DefaultsError>(
    const std::optional<DefaultsValue>& current)>;

/// Reads the value under `key` in `domain` and stores what `change` makes of it,
/// as one transaction: no other writer of the domain runs in between, and other
/// keys are kept. `change` runs once, under the lock, so it should be quick; an
/// error from it, or a value of a type other than data or string, writes nothing.
Expected<void, DefaultsError> updateDefaultsValue(std::string_view domain, std::string_view key,
                                                  const DefaultsChange& change);

}  // namespace platform::foundation
