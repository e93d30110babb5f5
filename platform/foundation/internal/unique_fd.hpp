#pragma once

#include <utility>

#include <unistd.h>

namespace platform::foundation::internal {

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

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }

  void reset(int fd = -1) noexcept {
    if (fd_ >= 0) {
      // Linux releases the descriptor even when close reports an error, so a retry would be wrong.
      ::close(fd_);
    }
    fd_ = fd;
  }

  /// Closes the descriptor and reports whether the kernel accepted the close; a
  /// failed close can be the first sign that written data did not reach the disk.
  bool close() noexcept {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace platform::foundation::internal
