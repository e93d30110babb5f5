#pragma once

// Turns what a terminal shows into the next screen with as few bytes as it
// can: only cells that look different are written, the cursor jumps over the
// rest, colours and links change only where they differ from the cell before.
// Each frame ends with the pen reset and no link open, so nothing leaks into
// what the terminal prints after us.

#include <cstdint>
#include <optional>
#include <string>

#include "host/backends/terminal/cell_grid.hpp"
#include "host/backends/terminal/terminal_capabilities.hpp"

namespace velto::host::terminal {

/// The longest URL written as a hyperlink; longer ones, and any holding bytes
/// outside printable ASCII, are shown as plain cells.
inline constexpr std::size_t kMaxLinkBytes = 2048;

/// The index in the xterm 256-colour palette nearest to `color`: the 6×6×6
/// cube or the 24-step grey ramp, never the 16 colours a theme may change.
std::uint8_t palette256Index(Rgb color);

class ScreenWriter {
 public:
  explicit ScreenWriter(Capabilities capabilities) : capabilities_(capabilities) {}

  /// The bytes that turn the screen last written into `next`. The first frame,
  /// and one of another size, clears the screen first. Empty when nothing changed.
  std::string frame(const CellGrid& next);

  /// As frame(next), for a `next` that differs from the last frame only
  /// within `changed`: only those cells are compared.
  std::string frame(const CellGrid& next, const CellRect& changed);

  /// Forgets what the terminal shows, so the next frame redraws everything.
  void invalidate() { shown_.reset(); }

  const Capabilities& capabilities() const { return capabilities_; }

 private:
  Capabilities capabilities_;
  std::optional<CellGrid> shown_;
};

}  // namespace velto::host::terminal
