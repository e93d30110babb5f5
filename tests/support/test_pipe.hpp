#pragma once

// A pipe for tests of writers: both ends owned, and reading back what the
// writer got through. Needs nothing but platform::foundation.

#include <array>
#include <cstddef>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"

namespace velto::test_support {

struct TestPipe {
  platform::foundation::UniqueFd read;
  platform::foundation::UniqueFd write;

  /// A close-on-exec pipe; `flags` (O_NONBLOCK) go to both ends.
  explicit TestPipe(int flags = 0) {
    std::array<int, 2> ends{-1, -1};
    EXPECT_EQ(0, ::pipe2(ends.data(), O_CLOEXEC | flags));
    read.reset(ends[0]);
    write.reset(ends[1]);
  }

  /// Makes the pipe hold `bytes` at most (a page at least), so that a writer
  /// meets a full pipe soon.
  void shrinkTo(int bytes) const { EXPECT_GT(::fcntl(write.get(), F_SETPIPE_SZ, bytes), 0); }

  /// What the pipe holds now, without waiting.
  std::string drain() const {
    const int flags = ::fcntl(read.get(), F_GETFL);
    ::fcntl(read.get(), F_SETFL, flags | O_NONBLOCK);
    std::string bytes;
    std::array<char, 65536> chunk{};
    ssize_t got = 0;
    while ((got = ::read(read.get(), chunk.data(), chunk.size())) > 0) {
      bytes.append(chunk.data(), static_cast<std::size_t>(got));
    }
    ::fcntl(read.get(), F_SETFL, flags);
    return bytes;
  }

  /// Waits until the pipe holds something or its write end is closed, then
  /// drains it.
  std::string readSome() const {
    pollfd ready{read.get(), POLLIN, 0};
    ::poll(&ready, 1, -1);
    return drain();
  }

  /// Everything until the write end is closed.
  std::string readToEnd() const {
    std::string bytes;
    std::array<char, 65536> chunk{};
    ssize_t got = 0;
    while ((got = ::read(read.get(), chunk.data(), chunk.size())) > 0) {
      bytes.append(chunk.data(), static_cast<std::size_t>(got));
    }
    return bytes;
  }
};

}  // namespace velto::test_support
