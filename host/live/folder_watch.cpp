#include "host/live/folder_watch.hpp"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>

namespace velto::host::live {

namespace {

// Renames are told at once with moves watched; this only bounds plain writes.
constexpr int kRateLimitMilliseconds = 10;

bool isDirectory(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// Whether `path` is `folder`, lies inside it, or is one of its ancestors.
bool related(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto [p, f] = std::mismatch(path.begin(), path.end(), folder.begin(), folder.end());
  return p == path.end() || f == folder.end();
}

}  // namespace

std::filesystem::path defaultsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr ? home : "/") / ".config";
  }
  return base / "velto" / "defaults";
}

FolderWatch::FolderWatch(GMainContext* context, std::filesystem::path folder,
                         std::function<void()> changed, std::chrono::milliseconds settle)
    : context_(context),
      folder_(std::move(folder).lexically_normal()),
      changed_(std::move(changed)),
      settle_(settle),
      settleTimer_(context) {
  if (folder_.has_filename() == false && folder_.has_parent_path()) {
    folder_ = folder_.parent_path();
  }
  arm();
}

FolderWatch::~FolderWatch() {
  if (monitor_) {
    g_signal_handlers_disconnect_by_data(monitor_.get(), this);
    g_file_monitor_cancel(monitor_.get());
  }
}

void FolderWatch::arm() {
  std::filesystem::path target = folder_;
  while (!isDirectory(target) && target.has_parent_path() && target != target.root_path()) {
    target = target.parent_path();
  }
  if (monitor_ && target == watching_) {
    return;
  }
  if (monitor_) {
    g_signal_handlers_disconnect_by_data(monitor_.get(), this);
    g_file_monitor_cancel(monitor_.get());
    monitor_.reset();
  }
  watching_ = target;
  const ThreadDefaultContext onContext(context_);
  ObjectRef<GFile> file(g_file_new_for_path(target.c_str()));
  GFileMonitor* monitor =
      g_file_monitor_directory(file.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
  if (monitor == nullptr) {
    return;
  }
  monitor_ = ObjectRef<GFileMonitor>(monitor);
  g_file_monitor_set_rate_limit(monitor, kRateLimitMilliseconds);
  g_signal_connect(monitor, "changed", G_CALLBACK(&FolderWatch::event), this);
}

bool FolderWatch::concernsFolder(GFile* file) const {
  if (file == nullptr) {
    return false;
  }
  char* path = g_file_get_path(file);
  if (path == nullptr) {
    return false;
  }
  const bool result = related(std::filesystem::path(path).lexically_normal(), folder_);
  g_free(path);
  return result;
}

void FolderWatch::event(GFileMonitor* /*monitor*/, GFile* file, GFile* other,
                        GFileMonitorEvent kind, gpointer self) {
  auto& watch = *static_cast<FolderWatch*>(self);
  if (kind == G_FILE_MONITOR_EVENT_ATTRIBUTE_CHANGED || kind == G_FILE_MONITOR_EVENT_PRE_UNMOUNT) {
    return;
  }
  if (!watch.concernsFolder(file) && !watch.concernsFolder(other)) {
    return;
  }
  if (!watch.settleTimer_.pending()) {
    watch.settleTimer_.start(watch.settle_, [&watch] { watch.settled(); });
  }
}

void FolderWatch::settled() {
  // The folder may have appeared or gone: watch it, or its nearest ancestor.
  arm();
  changed_();
}

}  // namespace velto::host::live
