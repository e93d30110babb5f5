#pragma once

#include <utility>

#include <unistd.h>

namespace platform::foundation {

/// Owns one file descriptor and closes it when it goes out of scope.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.fd_, -1));
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  /// The descriptor, or -1 when none is owned.
  int get() const noexcept { return fd_; }

  /// Gives up ownership without closing and returns the descriptor.
  int release() noexcept { return std::exchange(fd_, -1); }

  /// Closes the owned descriptor, if any, and takes `fd` instead.
  void reset(int fd = -1) noexcept {
    // Linux frees the descriptor even when close fails, EINTR included, so a
    // retry could close a descriptor another thread has just been given.
    if (const int old = std::exchange(fd_, fd); old >= 0) {
      ::close(old);
    }
  }

  /// Closes the descriptor and reports whether the kernel accepted the close; a
  /// failed close can be the first sign that written data did not reach the disk.
  bool close() noexcept {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

  /// Whether a descriptor is owned.
  explicit operator bool() const noexcept { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace platform::foundation
