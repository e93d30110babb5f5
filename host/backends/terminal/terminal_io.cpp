#include "host/backends/terminal/terminal_io.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/foundation/write_all.hpp"

namespace velto::host::terminal {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

namespace {

constexpr std::chrono::milliseconds kWriteWait{1000};

}  // namespace

bool writeFrame(int fd, std::string_view bytes) {
  const auto deadline = std::chrono::steady_clock::now() + kWriteWait;
  for (;;) {
    const Expected<std::string_view, int> rest = platform::foundation::writeSome(fd, bytes);
    if (!rest) {
      return false;
    }
    if (rest->empty()) {
      return true;
    }
    bytes = *rest;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      return false;
    }
  }
}

ByteSink fdSink(int fd) {
  return [fd](std::string_view bytes) { return writeFrame(fd, bytes); };
}

std::optional<GridSize> windowSize(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    return std::nullopt;
  }
  return GridSize{size.ws_col, size.ws_row};
}

Expected<RawMode, std::string> RawMode::enter(int fd) {
  termios saved{};
  if (::tcgetattr(fd, &saved) != 0) {
    return Unexpected(std::string("not a terminal: ") + std::strerror(errno));
  }
  termios raw = saved;
  raw.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // Output processing stays on: a stray line on stderr still starts at its margin.
  while (::tcsetattr(fd, TCSADRAIN, &raw) != 0) {
    if (errno != EINTR) {
      return Unexpected(std::string("cannot set raw mode: ") + std::strerror(errno));
    }
  }
  return RawMode(fd, saved);
}

RawMode::RawMode(RawMode&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), saved_(other.saved_) {}

RawMode& RawMode::operator=(RawMode&& other) noexcept {
  if (this != &other) {
    restore();
    fd_ = std::exchange(other.fd_, -1);
    saved_ = other.saved_;
  }
  return *this;
}

RawMode::~RawMode() {
  restore();
}

void RawMode::restore() noexcept {
  if (fd_ < 0) {
    return;
  }
  while (::tcsetattr(fd_, TCSADRAIN, &saved_) != 0 && errno == EINTR) {
  }
  fd_ = -1;
}

AlternateScreen::AlternateScreen(ByteSink sink) : sink_(std::move(sink)) {
  if (sink_) {
    sink_(kEnter);
  }
}

AlternateScreen::AlternateScreen(AlternateScreen&& other) noexcept
    : sink_(std::exchange(other.sink_, nullptr)) {}

AlternateScreen& AlternateScreen::operator=(AlternateScreen&& other) noexcept {
  if (this != &other) {
    leave();
    sink_ = std::exchange(other.sink_, nullptr);
  }
  return *this;
}

AlternateScreen::~AlternateScreen() {
  leave();
}

void AlternateScreen::leave() noexcept {
  if (sink_) {
    const ByteSink sink = std::exchange(sink_, nullptr);
    sink(kLeave);
  }
}

}  // namespace velto::host::terminal
