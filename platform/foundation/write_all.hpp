#pragma once

// Writing to a descriptor through short writes and EINTR. A blocking writer
// calls writeAll; a writer on a non-blocking descriptor calls writeSome, or
// keeps a PendingWrite, and resumes with what is left once the descriptor is
// writable again.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/expected.hpp"

namespace platform::foundation {

/// Writes what `fd` takes of `bytes` now. Returns the bytes it did not take:
/// none when all are out, else the rest, because a non-blocking descriptor had
/// no room (EAGAIN), to write once it has. Fails with the errno of any other
/// error; bytes written before it stay written.
Expected<std::string_view, int> writeSome(int fd, std::string_view bytes);

/// Writes every byte to `fd`. Fails with the errno of the first error; EAGAIN on
/// a non-blocking descriptor is such an error, left for the caller to wait on.
/// Bytes written before a failure stay.
Expected<void, int> writeAll(int fd, std::string_view bytes);

/// Bytes owned until a non-blocking descriptor has taken them all.
class PendingWrite {
 public:
  PendingWrite() = default;
  explicit PendingWrite(std::string bytes) : bytes_(std::move(bytes)) {}

  /// Whether every byte is out (so too when there were none).
  bool done() const { return sent_ == bytes_.size(); }

  /// The bytes still to write.
  std::size_t left() const { return bytes_.size() - sent_; }

  /// Writes what `fd` takes now, as writeSome; returns the bytes still left.
  Expected<std::size_t, int> writeSome(int fd);

 private:
  std::string bytes_;
  std::size_t sent_ = 0;
};

}  // namespace platform::foundation
