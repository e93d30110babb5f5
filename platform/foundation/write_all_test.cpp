#include "platform/foundation/write_all.hpp"

#include <cerrno>
#include <string>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"
#include "tests/support/test_pipe.hpp"

namespace platform::foundation {
namespace {

using velto::test_support::TestPipe;

TEST(WriteAll, DeliversMoreThanOnePipeBufferInOrder) {
  // A pipe takes 64 KiB at a time, so the write is necessarily split.
  std::string bytes(1 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(i * 7 % 251);
  }
  TestPipe pipe;
  std::string received;
  std::thread reader([&] { received = pipe.readToEnd(); });
  const auto written = writeAll(pipe.write.get(), bytes);
  pipe.write.reset();
  reader.join();
  EXPECT_TRUE(written.has_value());
  EXPECT_EQ(bytes, received);
}

TEST(WriteAll, ReportsTheErrnoOfAFailedWrite) {
  const UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(full);
  const auto written = writeAll(full.get(), "x");
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(ENOSPC, written.error());

  const auto closed = writeAll(-1, "x");
  ASSERT_FALSE(closed.has_value());
  EXPECT_EQ(EBADF, closed.error());
}

TEST(WriteAll, LeavesAFullNonBlockingPipeToTheCaller) {
  const TestPipe pipe(O_NONBLOCK);
  const auto written = writeAll(pipe.write.get(), std::string(1 << 20, 'x'));
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(EAGAIN, written.error());
}

TEST(WriteSome, ReturnsWhatAFullNonBlockingPipeDidNotTake) {
  const TestPipe pipe(O_NONBLOCK);
  pipe.shrinkTo(4096);
  std::string bytes(10'000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(i % 251);
  }
  const auto rest = writeSome(pipe.write.get(), bytes);
  ASSERT_TRUE(rest.has_value());
  ASSERT_FALSE(rest->empty());
  // The rest is the tail of the bytes given, after what the pipe took.
  std::string received = pipe.drain();
  EXPECT_TRUE(bytes == received + std::string(*rest));

  std::string_view left = *rest;
  while (!left.empty()) {
    const auto next = writeSome(pipe.write.get(), left);
    ASSERT_TRUE(next.has_value());
    left = *next;
    received += pipe.drain();
  }
  EXPECT_TRUE(bytes == received);
}

TEST(WriteSome, ReportsTheErrnoOfAFailedWrite) {
  const UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(full);
  const auto rest = writeSome(full.get(), "x");
  ASSERT_FALSE(rest.has_value());
  EXPECT_EQ(ENOSPC, rest.error());
}

TEST(PendingWrite, ResumesWhereTheDescriptorStoppedTakingBytes) {
  const TestPipe pipe(O_NONBLOCK);
  pipe.shrinkTo(4096);
  std::string bytes(20'000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(i * 7 % 251);
  }
  PendingWrite pending(bytes);
  EXPECT_EQ(bytes.size(), pending.left());
  std::string received;
  int rounds = 0;
  while (!pending.done()) {
    const auto left = pending.writeSome(pipe.write.get());
    ASSERT_TRUE(left.has_value());
    EXPECT_EQ(pending.left(), *left);
    received += pipe.drain();
    ++rounds;
  }
  received += pipe.drain();
  EXPECT_TRUE(bytes == received);
  EXPECT_GT(rounds, 1);  // the pipe could not take it at once

  PendingWrite nothing;
  EXPECT_TRUE(nothing.done());
  EXPECT_EQ(0U, nothing.writeSome(-1).value());  // no system call for no bytes
}

TEST(PendingWrite, KeepsItsBytesAfterAFailure) {
  const UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(full);
  PendingWrite pending("line\n");
  const auto left = pending.writeSome(full.get());
  ASSERT_FALSE(left.has_value());
  EXPECT_EQ(ENOSPC, left.error());
  EXPECT_EQ(5U, pending.left());
}

TEST(WriteAll, WritesNothingForNoBytes) {
  EXPECT_TRUE(writeAll(-1, "").has_value());
}

bool isOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesOnDestructionAndReset) {
  TestPipe pipe;
  const int readEnd = pipe.read.get();
  const int writeEnd = pipe.write.get();
  { const UniqueFd owner(std::move(pipe.read)); }
  EXPECT_FALSE(isOpen(readEnd));
  pipe.write.reset();
  EXPECT_FALSE(isOpen(writeEnd));
  EXPECT_FALSE(pipe.write);
}

TEST(UniqueFd, MoveAndReleaseHandOverWithoutClosing) {
  TestPipe pipe;
  const int fd = pipe.read.get();
  UniqueFd moved(std::move(pipe.read));
  EXPECT_FALSE(pipe.read);
  UniqueFd assigned;
  assigned = std::move(moved);
  EXPECT_TRUE(isOpen(fd));
  EXPECT_EQ(fd, assigned.get());
  EXPECT_EQ(fd, assigned.release());
  EXPECT_FALSE(assigned);
  EXPECT_TRUE(isOpen(fd));
  ::close(fd);
}

}  // namespace
}  // namespace platform::foundation
