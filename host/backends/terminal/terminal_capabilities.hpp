#pragma once

// What a terminal can show, read from the environment as a pure function so
// that every combination is testable without a terminal.

#include <cstdint>
#include <map>
#include <string>

namespace velto::host::terminal {

enum class ColorMode : std::uint8_t {
  none,        // NO_COLOR set, or a dumb terminal: glyphs and bold only
  palette256,  // the xterm 256-colour palette
  trueColor,   // 24-bit colour
};

struct Capabilities {
  ColorMode colors = ColorMode::palette256;
  /// OSC 8 hyperlinks around link cells.
  bool hyperlinks = true;
  /// A frame is wrapped in a synchronised update (DEC mode 2026), which
  /// terminals that do not know it ignore.
  bool synchronizedUpdate = true;
  /// The cursor goes anywhere: an alternate screen, frames written cell by
  /// cell, questions to the terminal. Without it the widget is printed as
  /// plain lines, one for each change, and no escape sequence is written.
  bool cellAddressing = true;
  friend constexpr bool operator==(const Capabilities&, const Capabilities&) = default;
};

/// Environment variables by name.
using EnvironmentMap = std::map<std::string, std::string, std::less<>>;

/// The capabilities that `COLORTERM`, `TERM` and `NO_COLOR` announce:
/// - `NO_COLOR` set to anything non-empty turns colour off;
/// - `COLORTERM` "truecolor" or "24bit", or a `TERM` ending in "-direct", give
///   true colour;
/// - `TERM` "dumb" gives plain lines without any escape sequence;
///   the Linux console gets the 256-colour palette and no hyperlinks;
/// - any other terminal gets the 256-colour palette, which every terminal
///   emulator in use today understands.
Capabilities detectCapabilities(const EnvironmentMap& environment);

/// The variables detectCapabilities reads, from this process's environment.
EnvironmentMap terminalEnvironment();

}  // namespace velto::host::terminal
