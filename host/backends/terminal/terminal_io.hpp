#pragma once

// The system calls a terminal needs, each behind one small owner: raw mode,
// the alternate screen, the window size and a write that finishes.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <termios.h>

#include "host/backends/terminal/cell_measurer.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host::terminal {

/// Receives a frame's bytes; false when they could not all be written.
using ByteSink = std::function<bool(std::string_view bytes)>;

/// Writes all of `bytes` to `fd` with foundation's writeSome, and waits up to a
/// second in all while a non-blocking terminal has no room (a GLib input watch
/// on stdin makes the shared stdout non-blocking too).
bool writeFrame(int fd, std::string_view bytes);

/// A sink that writes to `fd` with writeFrame. The descriptor stays the caller's.
ByteSink fdSink(int fd);

/// The terminal's columns and rows (TIOCGWINSZ); nothing when `fd` is no
/// terminal or reports a zero size.
std::optional<GridSize> windowSize(int fd);

/// Raw input on a terminal for as long as it lives: keys arrive one by one,
/// unechoed, Ctrl-C as a byte (0x03) rather than a signal. The settings found
/// on entry are restored on destruction, however the owner ends.
class RawMode {
 public:
  /// Enters raw mode on `fd`; a message for a person when it is no terminal.
  static platform::foundation::Expected<RawMode, std::string> enter(int fd);

  RawMode(RawMode&& other) noexcept;
  RawMode& operator=(RawMode&& other) noexcept;
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;
  ~RawMode();

  /// Restores the saved settings now; later calls and the destructor do nothing.
  void restore() noexcept;

 private:
  RawMode(int fd, const termios& saved) : fd_(fd), saved_(saved) {}

  int fd_ = -1;
  termios saved_{};
};

/// The terminal's alternate screen with the cursor hidden, for as long as it
/// lives; leaving shows the cursor, resets colours and returns to the screen
/// the person had, as it was.
class AlternateScreen {
 public:
  static constexpr std::string_view kEnter = "\x1b[?1049h\x1b[?25l";
  static constexpr std::string_view kLeave = "\x1b]8;;\x1b\\\x1b[0m\x1b[?25h\x1b[?1049l";

  explicit AlternateScreen(ByteSink sink);
  AlternateScreen(AlternateScreen&& other) noexcept;
  AlternateScreen& operator=(AlternateScreen&& other) noexcept;
  AlternateScreen(const AlternateScreen&) = delete;
  AlternateScreen& operator=(const AlternateScreen&) = delete;
  ~AlternateScreen();

  /// Leaves now; later calls and the destructor do nothing.
  void leave() noexcept;

 private:
  ByteSink sink_;
};

}  // namespace velto::host::terminal
