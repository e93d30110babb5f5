#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <glib.h>

#include "host/live/glib_source.hpp"
#include "host/live/timeout.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host::live {

/// One folder on the path from the outermost watched folder down to the watched
/// one, and the name in it that leads further down (empty for the watched folder).
struct WatchedLevel {
  std::filesystem::path path;
  std::string next;

  friend bool operator==(const WatchedLevel&, const WatchedLevel&) = default;
};

/// The levels that must be watched so that replacing `folder` or any folder
/// between it and `outermost` is seen: `outermost` first, `folder` last. An
/// `outermost` that is not an ancestor of `folder` stands for the root.
std::vector<WatchedLevel> watchedLevels(const std::filesystem::path& folder,
                                        const std::filesystem::path& outermost);

/// What one inotify event on a level asks for.
enum class WatchVerdict : std::uint8_t {
  ignore,
  /// Something inside the watched folder changed.
  changed,
  /// A folder on the path was replaced, renamed or removed: watch the path afresh.
  rewatch,
};

/// Judges an event with `mask` about entry `name` on `level`.
WatchVerdict judgeWatchEvent(const WatchedLevel& level, std::uint32_t mask, std::string_view name);

/// Tells when anything inside one folder changes: a file written, renamed into
/// place or removed, and the folder itself appearing, going or being replaced.
/// Every folder from `outermost` down is watched by its name, so a folder on
/// the path that is renamed, deleted and recreated, or a symlink on it that is
/// pointed elsewhere, is followed at once. Missing folders are watched for from
/// their nearest existing ancestor. A burst of changes is told once, `settle`
/// after its first change.
class FolderWatch {
 public:
  FolderWatch(GMainContext* context, std::filesystem::path folder, std::filesystem::path outermost,
              std::function<void()> changed,
              std::chrono::milliseconds settle = std::chrono::milliseconds(5));
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;
  ~FolderWatch() = default;

  /// The deepest folder watched right now: the folder itself or an ancestor.
  const std::filesystem::path& watching() const { return watching_; }

 private:
  static gboolean readable(gint fd, GIOCondition condition, gpointer self);
  WatchVerdict drain();
  void arm();
  void settled();

  GMainContext* context_;
  std::vector<WatchedLevel> levels_;
  std::function<void()> changed_;
  std::chrono::milliseconds settle_;
  std::filesystem::path watching_;
  platform::foundation::UniqueFd inotify_;
  std::multimap<int, std::size_t> watches_;  // watch descriptor → level
  AttachedSource source_;
  Timeout settleTimer_;
};

/// The outermost folder watched for the defaults folder `defaults`
/// (`<config home>/velto/defaults`): the one that holds the config home, so
/// that even the config home being replaced is followed.
std::filesystem::path outermostWatchedFolder(const std::filesystem::path& defaults);

}  // namespace velto::host::live
