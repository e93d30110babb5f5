#include "host/live/latest_line_output.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "host/live/run_loop_for_test.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host::live {
namespace {

using platform::foundation::UniqueFd;

struct Pipe {
  UniqueFd read;
  UniqueFd write;
  Pipe() {
    std::array<int, 2> ends{};
    EXPECT_EQ(0, ::pipe2(ends.data(), O_CLOEXEC));
    read.reset(ends[0]);
    write.reset(ends[1]);
  }
  /// Reads whatever the pipe holds now, without waiting.
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
};

class LatestLineOutputTest : public ::testing::Test {
 protected:
  LatestLineOutputTest() : context_(g_main_context_new()) {}
  ~LatestLineOutputTest() override { g_main_context_unref(context_); }
  GMainContext* context_;
};

TEST_F(LatestLineOutputTest, KeepsOnlyTheNewestLineWhileTheReaderLagsAndFinishesTheOneUnderWay) {
  Pipe pipe;
  ::fcntl(pipe.write.get(), F_SETPIPE_SZ, 4096);
  int failure = 0;
  LatestLineOutput output(context_, pipe.write.get(), [&](int error) { failure = error; });
  // Each line is longer than the pipe holds, so the first stays under way.
  const std::string first = std::string(10'000, 'a') + "\n";
  const std::string dropped = std::string(10'000, 'b') + "\n";
  const std::string newest = std::string(10'000, 'c') + "\n";
  output.write(first);
  output.write(dropped);
  output.write(newest);
  EXPECT_LE(newest.size(), output.heldBytes());
  EXPECT_GT(first.size() + newest.size(), output.heldBytes());

  std::string received;
  ASSERT_TRUE(testing::runUntil(context_, [&] {
    received += pipe.drain();
    return output.heldBytes() == 0 && received.size() >= first.size() + newest.size();
  }));
  received += pipe.drain();
  EXPECT_EQ(first + newest, received);
  EXPECT_EQ(0, failure);
}

TEST_F(LatestLineOutputTest, ReportsTheFirstFailureOnceAndLeavesTheDescriptorAsItFoundIt) {
  std::signal(SIGPIPE, SIG_IGN);
  Pipe pipe;
  const int flags = ::fcntl(pipe.write.get(), F_GETFL);
  {
    int failures = 0;
    int failure = 0;
    LatestLineOutput output(context_, pipe.write.get(), [&](int error) {
      ++failures;
      failure = error;
    });
    EXPECT_NE(0, ::fcntl(pipe.write.get(), F_GETFL) & O_NONBLOCK);
    output.write("one\n");
    EXPECT_EQ("one\n", pipe.drain());
    pipe.read.reset();
    output.write("two\n");
    output.write("three\n");
    EXPECT_TRUE(output.failed());
    EXPECT_EQ(1, failures);
    EXPECT_EQ(EPIPE, failure);
  }
  EXPECT_EQ(flags, ::fcntl(pipe.write.get(), F_GETFL));
}

TEST_F(LatestLineOutputTest, ReportsAFullDevice) {
  const UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(full);
  int failure = 0;
  LatestLineOutput output(context_, full.get(), [&](int error) { failure = error; });
  output.write("line\n");
  EXPECT_EQ(ENOSPC, failure);
}

}  // namespace
}  // namespace velto::host::live
