#include "host/live/latest_line_output.hpp"

#include <cerrno>
#include <csignal>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"
#include "tests/support/run_loop.hpp"
#include "tests/support/test_pipe.hpp"

namespace velto::host::live {
namespace {

using platform::foundation::UniqueFd;
using test_support::TestPipe;

class LatestLineOutputTest : public ::testing::Test {
 protected:
  LatestLineOutputTest() : context_(g_main_context_new()) {}
  ~LatestLineOutputTest() override { g_main_context_unref(context_); }
  GMainContext* context_;
};

TEST_F(LatestLineOutputTest, KeepsOnlyTheNewestLineWhileTheReaderLagsAndFinishesTheOneUnderWay) {
  const TestPipe pipe;
  pipe.shrinkTo(4096);
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
  TestPipe pipe;
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
