#pragma once

#include <functional>
#include <string>

namespace velto::host {

/// Keeps a temporary file's path where a handler for SIGINT, SIGTERM and SIGHUP
/// can remove it before the signal ends the program as it would have anyway.
/// Signals the program ignores stay ignored.
class SignalCleanup {
 public:
  /// Registers `path`; an empty registration when no slot is free or the path
  /// is too long, which leaves the file to the usual cleanup.
  static SignalCleanup watch(const std::string& path);

  /// Runs `make`, which creates a file and returns its path (empty when it made
  /// none), with the signals held back on every thread, and watches the path:
  /// no signal can come between the two and leave the file behind.
  static SignalCleanup watchMade(const std::function<std::string()>& make);

  SignalCleanup() = default;
  SignalCleanup(SignalCleanup&& other) noexcept;
  SignalCleanup& operator=(SignalCleanup&& other) noexcept;
  SignalCleanup(const SignalCleanup&) = delete;
  SignalCleanup& operator=(const SignalCleanup&) = delete;
  ~SignalCleanup();

  /// Forgets the path: the file was renamed into place or removed.
  void release();

 private:
  explicit SignalCleanup(int slot) : slot_(slot) {}
  static SignalCleanup watchBlocked(const std::string& path);
  int slot_ = -1;
};

}  // namespace velto::host
