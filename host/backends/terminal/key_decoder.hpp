#pragma once

// What a person types, decoded from the bytes a terminal in raw mode sends:
// the widget's keys, and the terminal's answer to the background-colour
// query. Every other key and escape sequence is skipped whole, however the
// bytes are split across reads.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/render/palette.hpp"

namespace velto::host::terminal {

/// Asks the terminal for its background colour (OSC 11); terminals that know
/// it answer with an OSC 11 sequence, which KeyDecoder reports.
inline constexpr std::string_view kBackgroundQuery = "\x1b]11;?\x1b\\";

enum class Key : std::uint8_t {
  quit,    // q, Q or Ctrl-C
  toggle,  // t or T
  stop,    // s or S
};

/// The terminal's background colour, as light or dark.
struct BackgroundReport {
  render::Appearance appearance = render::Appearance::dark;
  friend constexpr bool operator==(const BackgroundReport&, const BackgroundReport&) = default;
};

using InputEvent = std::variant<Key, BackgroundReport>;

/// Light or dark from the body of an OSC 11 answer ("11;rgb:RRRR/GGGG/BBBB",
/// one to four hex digits a channel): light when its luminance is above half.
/// Nothing for any other text.
std::optional<render::Appearance> parseBackgroundReply(std::string_view body);

/// The longest OSC body kept; a longer one is skipped without a report.
inline constexpr std::size_t kMaxOscBytes = 256;

class KeyDecoder {
 public:
  /// The events that `bytes` complete, in order.
  std::vector<InputEvent> feed(std::string_view bytes);

 private:
  enum class State : std::uint8_t {
    ground,
    escape,        // after ESC
    csi,           // ESC [ … final byte
    ss3,           // ESC O and one byte
    osc,           // ESC ] … BEL or ESC '\'
    oscEscape,     // ESC inside an OSC
    string,        // ESC P, X, ^ or _ … ESC '\'
    stringEscape,  // ESC inside such a string
  };

  void escape(char byte);
  void finishOsc(std::vector<InputEvent>& events);

  State state_ = State::ground;
  std::string osc_;  // the OSC's body; one byte over kMaxOscBytes marks it too long
};

}  // namespace velto::host::terminal
