#include "host/app/signal_cleanup.hpp"

#include <array>
#include <csignal>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

namespace velto::host {

namespace {

constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kSlots = 16;
constexpr std::size_t kMaxPath = 4096;

// The handler may read these at any moment, so they are plain static storage,
// changed only while the signals are blocked.
char gPaths[kSlots][kMaxPath];
volatile std::sig_atomic_t gUsed[kSlots];
bool gInstalled = false;

extern "C" void removeTemporaries(int signal) {
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (gUsed[i] != 0) {
      ::unlink(gPaths[i]);
    }
  }
  // Ends the program with the signal, as without this handler.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

/// Blocks the signals for its lifetime.
class BlockedSignals {
 public:
  BlockedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals) {
      sigaddset(&set, signal);
    }
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~BlockedSignals() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  BlockedSignals(const BlockedSignals&) = delete;
  BlockedSignals& operator=(const BlockedSignals&) = delete;

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
  const BlockedSignals blocked;
  return watchBlocked(path);
}

int SignalCleanup::makeTemporary(std::string& pattern, SignalCleanup& cleanup) {
  const BlockedSignals blocked;
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) {
    cleanup = watchBlocked(pattern);
  }
  return fd;
}

SignalCleanup SignalCleanup::watchBlocked(const std::string& path) {
  if (path.empty() || path.size() >= kMaxPath) {
    return {};
  }
  installOnce();
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (gUsed[i] == 0) {
      std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
      gUsed[i] = 1;
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
      gUsed[slot_] = 0;  // one store: the handler sees the slot used or free
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
  const BlockedSignals blocked;
  gUsed[slot_] = 0;
  slot_ = -1;
}

}  // namespace velto::host
