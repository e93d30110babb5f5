#pragma once

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

  /// Makes a file from `pattern` with mkostemp (its XXXXXX replaced in place)
  /// and watches it, with no moment between the two at which a signal could
  /// leave it behind. Returns the open descriptor, or -1 with errno set.
  static int makeTemporary(std::string& pattern, SignalCleanup& cleanup);

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
