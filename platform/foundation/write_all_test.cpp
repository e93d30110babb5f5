#include "platform/foundation/write_all.hpp"

#include <cerrno>
#include <string>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"

namespace platform::foundation {
namespace {

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

Pipe makePipe(int flags = 0) {
  int fds[2] = {-1, -1};
  EXPECT_EQ(0, ::pipe2(fds, O_CLOEXEC | flags));
  return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

std::string drain(int fd) {
  std::string all;
  char buffer[4096];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0) {
      return all;
    }
    all.append(buffer, static_cast<std::size_t>(count));
  }
}

TEST(WriteAll, DeliversMoreThanOnePipeBufferInOrder) {
  // A pipe takes 64 KiB at a time, so the write is necessarily split.
  std::string bytes(1 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(i * 7 % 251);
  }
  Pipe pipe = makePipe();
  std::string received;
  std::thread reader([&] { received = drain(pipe.read.get()); });
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
  Pipe pipe = makePipe(O_NONBLOCK);
  const auto written = writeAll(pipe.write.get(), std::string(1 << 20, 'x'));
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(EAGAIN, written.error());
}

TEST(WriteAll, WritesNothingForNoBytes) {
  EXPECT_TRUE(writeAll(-1, "").has_value());
}

bool isOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesOnDestructionAndReset) {
  Pipe pipe = makePipe();
  const int readEnd = pipe.read.get();
  const int writeEnd = pipe.write.get();
  { const UniqueFd owner(std::move(pipe.read)); }
  EXPECT_FALSE(isOpen(readEnd));
  pipe.write.reset();
  EXPECT_FALSE(isOpen(writeEnd));
  EXPECT_FALSE(pipe.write);
}

TEST(UniqueFd, MoveAndReleaseHandOverWithoutClosing) {
  Pipe pipe = makePipe();
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
