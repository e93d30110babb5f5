#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/defaults_domain.hpp"
#include "platform/foundation/defaults_error.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/foundation/internal/binary_plist_shape.hpp"
#include "platform/foundation/internal/plist_node.hpp"
#include "platform/foundation/limits.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace platform::foundation::internal {

/// Bounds on the tree that a binary domain file may stand for. Within the cap a
/// list can still nest 13 000 levels deep (a quarter of a second in libplist),
/// and shared objects let a file of 130 bytes stand for millions of nodes.
/// libplist checks each node against all of its ancestors, so its time grows
/// with depth times nodes; these bounds hold any file to about 10 ms.
inline constexpr BinaryPlistLimits kBinaryDomainLimits{
    .depth = 32, .nodes = std::uint64_t{1} << 14, .bytes = std::uint64_t{1} << 20};

/// Parses the contents of a domain file: a property list in XML or binary form
/// whose root is a dictionary, within the size cap and, for the binary form, the
/// tree bounds, with no dictionary that holds one key twice (readers would not
/// agree on which value counts). Fails with tooLarge or malformed; the message
/// gives the reason.
Expected<PlistNode, DefaultsError> parseDomainContents(const std::string& contents);

/// An exclusive advisory lock on a lock file, released when the object goes away.
class FileLock {
 public:
  FileLock(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  /// Removes the lock file while the lock is still held. Safe because every
  /// locker checks, once it holds the lock, that its file is still the one at the path.
  void removeFile() const;

 private:
  UniqueFd fd_;
  std::string path_;
};

/// The one type that touches a domain's file: reads it without blocking and
/// replaces it atomically.
class PropertyListFile {
 public:
  explicit PropertyListFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  /// The file's dictionary. Fails with noSuchDomain when there is no file,
  /// unreadable when it cannot be read or is not a regular file, tooLarge over
  /// the cap, and malformed when it is not a domain.
  Expected<PlistNode, DefaultsError> read() const;

  /// Replaces the file with `contents`: a temporary file in the same folder,
  /// fsync, rename over the file, fsync of the folder. A failure leaves the old
  /// file and no temporary file behind, up to the rename.
  Expected<void, DefaultsError> replace(std::span<const char> contents) const;

  /// Takes an exclusive flock on `<file>.lock`, which, unlike the file itself,
  /// survives the rename that replace() ends with. Fails with busy when another
  /// holder keeps it for longer than `wait`.
  Expected<FileLock, DefaultsError> lock(std::chrono::milliseconds wait) const;

  /// Removes temporary files of this domain that writers killed before their
  /// rename left behind. Call it under lock(): a live writer holds a flock on its
  /// temporary file, and such a file is never touched.
  void removeStaleTemporaryFiles() const;

 private:
  Expected<std::string, DefaultsError> readContents() const;

  std::filesystem::path path_;
};

/// Creates `directory` and every missing folder above it with mode 0700.
Expected<void, DefaultsError> createPrivateDirectories(const std::filesystem::path& directory);

/// The file of `domain`. Fails with invalidArgument for a name that cannot name a
/// domain, and with `noFolder` when no defaults folder is known.
Expected<PropertyListFile, DefaultsError> domainFile(std::string_view domain,
                                                     DefaultsError::Code noFolder);

/// The type of `node` and, for a data or string value, its bytes.
DefaultsValue defaultsValueOf(plist_t node);

/// The value under `key` in `dictionary`, or null; a key holding NUL names nothing.
plist_t dictionaryItem(plist_t dictionary, std::string_view key);

}  // namespace platform::foundation::internal
