#include "host/output/signal_cleanup.hpp"

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <utility>

#include <signal.h>
#include <unistd.h>

namespace velto::host {

namespace {

constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kSlots = 16;
constexpr std::size_t kMaxPath = 4096;

// The handler may read these at any moment, so they are plain static storage.
// A thread changes them with the signals blocked on it; a signal that meanwhile
// lands on another thread (GLib's and dconf's run beside ours) waits in the
// handler until the change is done, so a file made and not yet watched is
// still removed.
char gPaths[kSlots][kMaxPath];
std::atomic<int> gUsed[kSlots];
std::atomic<int> gChanging{0};
bool gInstalled = false;
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads these");

extern "C" void removeTemporaries(int signal) {
  while (gChanging.load(std::memory_order_acquire) != 0) {
  }
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (gUsed[i].load(std::memory_order_acquire) != 0) {
      ::unlink(gPaths[i]);
    }
  }
  // Ends the program with the signal, as without this handler.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

/// For its lifetime: the signals are blocked on this thread, and a handler
/// running on another waits.
class SlotChange {
 public:
  SlotChange() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals) {
      sigaddset(&set, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    gChanging.fetch_add(1, std::memory_order_acq_rel);
  }
  ~SlotChange() {
    gChanging.fetch_sub(1, std::memory_order_acq_rel);
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SlotChange(const SlotChange&) = delete;
  SlotChange& operator=(const SlotChange&) = delete;

 private:
  sigset_t previous_;
};

void installOnce() {
  if (gInstalled) {
    return;
  }
  gInstalled = true;
  for (const int signal : kSignals) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    if (current.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = removeTemporaries;
    sigemptyset(&action.sa_mask);
    for (const int other : kSignals) {
      sigaddset(&action.sa_mask, other);
    }
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace

SignalCleanup SignalCleanup::watch(const std::string& path) {
  const SlotChange change;
  return watchBlocked(path);
}

SignalCleanup SignalCleanup::watchMade(const std::function<std::string()>& make) {
  const SlotChange change;
  return watchBlocked(make());
}

SignalCleanup SignalCleanup::watchBlocked(const std::string& path) {
  if (path.empty() || path.size() >= kMaxPath) {
    return {};
  }
  installOnce();
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (gUsed[i].load(std::memory_order_relaxed) == 0) {
      std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
      gUsed[i].store(1, std::memory_order_release);
      return SignalCleanup(static_cast<int>(i));
    }
  }
  return {};
}

SignalCleanup::SignalCleanup(SignalCleanup&& other) noexcept
    : slot_(std::exchange(other.slot_, -1)) {}

SignalCleanup& SignalCleanup::operator=(SignalCleanup&& other) noexcept {
  if (this != &other) {
    if (slot_ >= 0) {
      gUsed[slot_].store(0, std::memory_order_release);  // the handler sees it used or free
    }
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

SignalCleanup::~SignalCleanup() {
  release();
}

void SignalCleanup::release() {
  if (slot_ < 0) {
    return;
  }
  const SlotChange change;
  gUsed[slot_].store(0, std::memory_order_release);
  slot_ = -1;
}

}  // namespace velto::host
