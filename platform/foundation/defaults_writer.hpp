#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
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
// every write first removes temporary files that killed writers left. A writer
// waits a bounded time for the lock, so that a hung holder cannot stall every
// later writer; then it fails with busy and writes nothing.

/// How long a writer waits for another writer's lock on a domain by default.
inline constexpr std::chrono::milliseconds kDefaultLockWait{5000};

/// The environment variable that sets the lock wait of our tools, in seconds.
inline constexpr std::string_view kLockWaitVariable = "VELTO_LOCK_WAIT";

/// The wait that `seconds`, a decimal number from 0 to 600, stands for; the
/// default when it is null. Fails with invalidArgument for anything else.
Expected<std::chrono::milliseconds, DefaultsError> lockWaitFrom(const char* seconds);

/// How a write goes about the domain's lock and a damaged domain file.
struct DefaultsWriteOptions {
  /// How long to wait for another holder of the domain's lock.
  std::chrono::milliseconds lockWait = kDefaultLockWait;
  /// Whether a domain file that is not a domain (malformed or too large) is kept
  /// beside it as `<file>.damaged` (`.damaged.2`, ... when that name is taken)
  /// and replaced by a domain that holds only the new value, instead of failing.
  bool setAsideDamaged = false;
};

/// What a successful update did besides storing the value.
struct DefaultsUpdate {
  /// Where the damaged domain file was kept, when it was set aside.
  std::optional<std::filesystem::path> damagedCopy;
};

/// Stores `bytes` as a data value under `key` in `domain`; other keys are kept.
/// Creates the domain, and its folders with mode 0700, when missing.
Expected<void, DefaultsError> writeDefaultsData(std::string_view domain, std::string_view key,
                                                std::span<const std::uint8_t> bytes,
                                                const DefaultsWriteOptions& options = {});

/// Stores `text` as a string value under `key` in `domain`, as writeDefaultsData does.
Expected<void, DefaultsError> writeDefaultsString(std::string_view domain, std::string_view key,
                                                  std::string_view text,
                                                  const DefaultsWriteOptions& options = {});

/// Removes the value under `key` from `domain`; fails with noSuchDomain or
/// noSuchKey, writing nothing, when there is none. A damaged domain is never set
/// aside here: there is no value to replace it with.
Expected<void, DefaultsError> deleteDefaultsKey(std::string_view domain, std::string_view key,
                                                const DefaultsWriteOptions& options = {});

/// Decides the next value under a key from the current one (none when the domain
/// or the key is missing): a data or string value to store, nothing to leave the
/// domain as it is, or an error to give up with.
using DefaultsChange = std::function<Expected<std::optional<DefaultsValue>, DefaultsError>(
    const std::optional<DefaultsValue>& current)>;

/// Reads the value under `key` in `domain` and stores what `change` makes of it,
/// as one transaction: no other writer of the domain runs in between, and other
/// keys are kept. `change` runs once, under the lock, so it should be quick; an
/// error from it, or a value of a type other than data or string, writes nothing.
/// A damaged domain that `options` sets aside reads as a missing one to `change`.
Expected<DefaultsUpdate, DefaultsError> updateDefaultsValue(
    std::string_view domain, std::string_view key, const DefaultsChange& change,
    const DefaultsWriteOptions& options = {});

}  // namespace platform::foundation
