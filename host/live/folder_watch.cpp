#include "host/live/folder_watch.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <glib-unix.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace velto::host::live {

namespace {

// Entries coming and going, and the folder itself going: enough to follow a path.
constexpr std::uint32_t kPathEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// In the watched folder, plain writes count too.
constexpr std::uint32_t kFolderEvents = kPathEvents | IN_MODIFY | IN_CLOSE_WRITE;
// Bounds one wake-up, so a flood of events cannot keep the loop from its timers.
constexpr int kReadsPerWake = 16;

}  // namespace

std::vector<WatchedLevel> watchedLevels(const std::filesystem::path& folder,
                                        const std::filesystem::path& outermost) {
  std::filesystem::path target = folder.lexically_normal();
  std::filesystem::path base = outermost.lexically_normal();
  for (auto* path : {&target, &base}) {
    if (!path->has_filename() && path->has_relative_path()) {
      *path = path->parent_path();  // a trailing separator
    }
  }
  auto [t, o] = std::mismatch(target.begin(), target.end(), base.begin(), base.end());
  if (o != base.end() || base.empty()) {
    base = target.root_path();
    t = std::next(target.begin(), base.empty() ? 0 : 1);
  }
  std::vector<WatchedLevel> levels{{base, {}}};
  for (; t != target.end(); ++t) {
    levels.back().next = t->string();
    levels.push_back({levels.back().path / *t, {}});
  }
  return levels;
}

WatchVerdict judgeWatchEvent(const WatchedLevel& level, std::uint32_t mask, std::string_view name) {
  // IN_IGNORED: the kernel dropped the watch because its folder went.
  if ((mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED | IN_Q_OVERFLOW)) != 0) {
    return WatchVerdict::rewatch;
  }
  if (level.next.empty()) {
    return WatchVerdict::changed;
  }
  return name == level.next ? WatchVerdict::rewatch : WatchVerdict::ignore;
}

std::filesystem::path outermostWatchedFolder(const std::filesystem::path& defaults) {
  return defaults.lexically_normal().parent_path().parent_path().parent_path();
}

FolderWatch::FolderWatch(GMainContext* context, std::filesystem::path folder,
                         std::filesystem::path outermost, std::function<void()> changed,
                         std::chrono::milliseconds settle)
    : context_(context),
      levels_(watchedLevels(folder, outermost)),
      changed_(std::move(changed)),
      settle_(settle),
      inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      settleTimer_(context) {
  if (inotify_) {
    GSource* source = g_unix_fd_source_new(inotify_.get(), G_IO_IN);
    g_source_set_callback(source, G_SOURCE_FUNC(&FolderWatch::readable), this, nullptr);
    source_ = AttachedSource(source, context_);
  }
  arm();
}

void FolderWatch::arm() {
  if (!inotify_) {
    return;
  }
  // Outermost first: once a level is watched, a change to the name below it is
  // told, so a folder replaced while this runs is caught by the next round.
  std::multimap<int, std::size_t> fresh;
  watching_.clear();
  for (std::size_t i = 0; i < levels_.size(); ++i) {
    const std::uint32_t events = levels_[i].next.empty() ? kFolderEvents : kPathEvents;
    const int watch = ::inotify_add_watch(inotify_.get(), levels_[i].path.c_str(),
                                          events | IN_ONLYDIR | IN_MASK_ADD);
    if (watch < 0) {
      break;  // what lies below a missing folder is missing too
    }
    fresh.emplace(watch, i);
    watching_ = levels_[i].path;
  }
  for (const auto& [watch, level] : watches_) {
    if (!fresh.contains(watch)) {
      ::inotify_rm_watch(inotify_.get(), watch);
    }
  }
  watches_ = std::move(fresh);
}

WatchVerdict FolderWatch::drain() {
  WatchVerdict verdict = WatchVerdict::ignore;
  alignas(inotify_event) std::array<char, 16 * 1024> buffer;
  for (int read = 0; read < kReadsPerWake; ++read) {
    const ssize_t got = ::read(inotify_.get(), buffer.data(), buffer.size());
    if (got <= 0) {
      break;
    }
    for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(got);) {
      inotify_event event{};
      std::memcpy(&event, buffer.data() + at, sizeof event);
      const char* name = buffer.data() + at + sizeof event;
      const std::string_view entry(name, event.len != 0 ? ::strnlen(name, event.len) : 0);
      at += sizeof event + event.len;
      if ((event.mask & IN_Q_OVERFLOW) != 0) {
        verdict = WatchVerdict::rewatch;
        continue;
      }
      const auto [first, last] = watches_.equal_range(event.wd);
      for (auto found = first; found != last; ++found) {
        verdict = std::max(verdict, judgeWatchEvent(levels_[found->second], event.mask, entry));
      }
    }
  }
  return verdict;
}

gboolean FolderWatch::readable(gint /*fd*/, GIOCondition /*condition*/, gpointer self) {
  auto& watch = *static_cast<FolderWatch*>(self);
  const WatchVerdict verdict = watch.drain();
  if (verdict == WatchVerdict::rewatch) {
    // At once, so a write into the new folder during the settle is not missed.
    watch.arm();
  }
  if (verdict != WatchVerdict::ignore && !watch.settleTimer_.pending()) {
    watch.settleTimer_.start(watch.settle_, [&watch] { watch.settled(); });
  }
  return G_SOURCE_CONTINUE;
}

void FolderWatch::settled() {
  arm();
  changed_();
}

}  // namespace velto::host::live
