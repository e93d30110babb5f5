#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include <sys/types.h>

#include "platform/foundation/expected.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace platform::foundation {

/// Which step of a replacement failed, with its errno. After `syncFolder` the
/// new file is already in place; only its survival of a power loss is in doubt.
struct ReplacementError {
  enum class Step { create, write, rename, syncFolder };
  Step step;
  int error;
  std::filesystem::path temporary;
};

/// Replaces one file so that a reader, or the disk after a power loss, holds the
/// old contents or the new and never a part: a temporary file in the same folder,
/// fsync, rename over the target, fsync of the folder. The temporary file is
/// removed when the object goes away uncommitted.
class AtomicFileReplacement {
 public:
  struct Options {
    /// Permissions of the new file; mkostemp's 0600 when unset.
    std::optional<mode_t> mode = std::nullopt;
    /// A leading dot on the temporary file's name, so that a folder listing skips it.
    bool hiddenTemporary = false;
    /// An exclusive flock on the temporary file, held until commit: it tells a
    /// cleanup of stale temporary files that a live writer owns this one.
    bool lockTemporary = false;
  };

  /// Creates the temporary file beside `target`.
  static Expected<AtomicFileReplacement, ReplacementError> begin(std::filesystem::path target,
                                                                 const Options& options);

  /// Whether `name` is a name that begin() gives temporary files of `targetName`.
  static bool isTemporaryName(std::string_view name, std::string_view targetName,
                              bool hiddenTemporary);

  AtomicFileReplacement(AtomicFileReplacement&& other) noexcept;
  AtomicFileReplacement& operator=(AtomicFileReplacement&& other) noexcept;
  AtomicFileReplacement(const AtomicFileReplacement&) = delete;
  AtomicFileReplacement& operator=(const AtomicFileReplacement&) = delete;
  ~AtomicFileReplacement();

  const std::filesystem::path& target() const { return target_; }
  /// Empty once committed.
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  /// Appends `bytes` to the temporary file.
  Expected<void, ReplacementError> write(std::string_view bytes);

  /// Puts the written file in place. Call it once; after a failure before the
  /// rename the target is untouched, and the temporary file goes with the object.
  Expected<void, ReplacementError> commit();

 private:
  AtomicFileReplacement(std::filesystem::path target, std::filesystem::path temporary, UniqueFd fd)
      : target_(std::move(target)), temporary_(std::move(temporary)), fd_(std::move(fd)) {}

  Unexpected<ReplacementError> failure(ReplacementError::Step step, int error) const;
  void removeTemporary() noexcept;

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  UniqueFd fd_;
};

/// Writes `contents` to `target` through one AtomicFileReplacement.
Expected<void, ReplacementError> replaceFileAtomically(
    const std::filesystem::path& target, std::string_view contents,
    const AtomicFileReplacement::Options& options);

}  // namespace platform::foundation
