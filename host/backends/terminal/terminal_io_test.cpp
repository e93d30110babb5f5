#include "host/backends/terminal/terminal_io.hpp"

#include <string>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"
#include "tests/support/test_pipe.hpp"

namespace velto::host::terminal {
namespace {

using platform::foundation::UniqueFd;
using test_support::TestPipe;

struct Pty {
  UniqueFd master;
  UniqueFd slave;
};

Pty openPty() {
  int master = -1;
  int slave = -1;
  EXPECT_EQ(0, ::openpty(&master, &slave, nullptr, nullptr, nullptr));
  return {UniqueFd(master), UniqueFd(slave)};
}

termios settingsOf(int fd) {
  termios settings{};
  EXPECT_EQ(0, ::tcgetattr(fd, &settings));
  return settings;
}

TEST(RawMode, TurnsOffEchoLinesAndSignalsAndRestoresThem) {
  const Pty pty = openPty();
  const termios before = settingsOf(pty.slave.get());
  ASSERT_TRUE(before.c_lflag & ICANON);
  {
    auto raw = RawMode::enter(pty.slave.get());
    ASSERT_TRUE(raw.has_value());
    const termios during = settingsOf(pty.slave.get());
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(during.c_iflag & (ICRNL | IXON));
    RawMode moved = std::move(*raw);  // the moved-from owner restores nothing
  }
  const termios after = settingsOf(pty.slave.get());
  EXPECT_EQ(before.c_lflag, after.c_lflag);
  EXPECT_EQ(before.c_iflag, after.c_iflag);
  EXPECT_EQ(before.c_oflag, after.c_oflag);
}

TEST(RawMode, DeliversCtrlCAsAByte) {
  const Pty pty = openPty();
  auto raw = RawMode::enter(pty.slave.get());
  ASSERT_TRUE(raw.has_value());
  ASSERT_EQ(1, ::write(pty.master.get(), "\x03", 1));
  char byte = 0;
  ASSERT_EQ(1, ::read(pty.slave.get(), &byte, 1));
  EXPECT_EQ('\x03', byte);
}

TEST(RawMode, RefusesWhatIsNoTerminal) {
  const TestPipe pipe;
  const auto raw = RawMode::enter(pipe.read.get());
  ASSERT_FALSE(raw.has_value());
  EXPECT_TRUE(raw.error().starts_with("not a terminal"));
}

TEST(WindowSize, ReadsTheTerminalsSize) {
  const Pty pty = openPty();
  const winsize size{30, 100, 0, 0};
  ASSERT_EQ(0, ::ioctl(pty.master.get(), TIOCSWINSZ, &size));
  EXPECT_EQ((GridSize{100, 30}), windowSize(pty.slave.get()));
  const TestPipe pipe;
  EXPECT_EQ(std::nullopt, windowSize(pipe.read.get()));
}

TEST(WriteFrame, WaitsForANonBlockingDescriptorToTakeEverything) {
  const TestPipe pipe(O_NONBLOCK);
  pipe.shrinkTo(4096);
  // Four times what the pipe holds: the writer meets EAGAIN until the reader drains it.
  const std::string bytes(16'384, 'x');
  std::string received;
  std::thread drain([&] {
    while (received.size() < bytes.size()) {
      received += pipe.readSome();
    }
  });
  EXPECT_TRUE(writeFrame(pipe.write.get(), bytes));
  drain.join();
  EXPECT_EQ(bytes, received);
  EXPECT_FALSE(writeFrame(-1, "x"));
}

TEST(AlternateScreen, EntersOnceAndLeavesOnce) {
  std::string written;
  {
    AlternateScreen screen([&written](std::string_view bytes) {
      written += bytes;
      return true;
    });
    EXPECT_EQ(AlternateScreen::kEnter, written);
    AlternateScreen moved = std::move(screen);
    moved.leave();
  }
  EXPECT_EQ(std::string(AlternateScreen::kEnter) + std::string(AlternateScreen::kLeave), written);
}

}  // namespace
}  // namespace velto::host::terminal
