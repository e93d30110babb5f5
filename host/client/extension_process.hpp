#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include <sys/types.h>

#include "host/client/host_error.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host {

/// A file descriptor that is closed when its owner goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset();
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

/// A running extension, connected through two pipes: its stdin carries requests,
/// its stdout replies; its stderr is the host's. Ending the value ends the child.
class ExtensionProcess {
 public:
  /// Starts `executable` directly (no shell, no arguments) with pipes on stdin
  /// and stdout. Fails when it cannot be started at all.
  static platform::foundation::Expected<ExtensionProcess, HostError> launch(
      const std::filesystem::path& executable);

  ExtensionProcess(ExtensionProcess&& other) noexcept;
  ExtensionProcess& operator=(ExtensionProcess&&) = delete;
  ~ExtensionProcess();

  int requestFd() const { return requests_.get(); }
  int replyFd() const { return replies_.get(); }
  pid_t pid() const { return pid_; }

  /// The child's exit, if it has ended: a text such as "exited with status 3".
  std::optional<std::string> exitDescription();

  /// Closes the request pipe, so a well-behaved child ends its serve loop, then
  /// waits up to `grace` before killing it. Idempotent.
  void end(std::chrono::milliseconds grace = std::chrono::milliseconds(200));

 private:
  ExtensionProcess(pid_t pid, UniqueFd requests, UniqueFd replies)
      : pid_(pid), requests_(std::move(requests)), replies_(std::move(replies)) {}

  pid_t pid_ = -1;
  UniqueFd requests_;
  UniqueFd replies_;
  std::optional<int> waitStatus_;
};

}  // namespace velto::host
