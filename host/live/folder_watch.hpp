#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include <gio/gio.h>

#include "host/live/glib_source.hpp"
#include "host/live/timeout.hpp"

namespace velto::host::live {

/// Tells when anything inside one folder changes: a file written, renamed into
/// place or removed, and the folder itself appearing or going. The folder need
/// not exist: the nearest existing ancestor is watched until it appears, and
/// again after it is deleted. A burst of changes is told once, `settle` after
/// its first change.
class FolderWatch {
 public:
  FolderWatch(GMainContext* context, std::filesystem::path folder, std::function<void()> changed,
              std::chrono::milliseconds settle = std::chrono::milliseconds(5));
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;
  ~FolderWatch();

  /// The folder being watched right now: the folder itself or an ancestor.
  const std::filesystem::path& watching() const { return watching_; }

 private:
  static void event(GFileMonitor* monitor, GFile* file, GFile* other, GFileMonitorEvent kind,
                    gpointer self);
  bool concernsFolder(GFile* file) const;
  void arm();
  void settled();

  GMainContext* context_;
  std::filesystem::path folder_;
  std::function<void()> changed_;
  std::chrono::milliseconds settle_;
  std::filesystem::path watching_;
  ObjectRef<GFileMonitor> monitor_;
  Timeout settleTimer_;
};

/// `${XDG_CONFIG_HOME:-$HOME/.config}/velto/defaults`, where the companion
/// publishes the snapshot.
std::filesystem::path defaultsFolder();

}  // namespace velto::host::live
