#pragma once

// Turns whatever a view tree holds into values the layout can compute with:
// lengths in range, fonts of a sensible size, and texts that draw as one line.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/font.hpp"

namespace velto::host::layout {

/// The largest length, font size or tracking kept as given.
inline constexpr double kMaxLength = 100'000.0;
inline constexpr double kMaxFontSize = 512.0;
inline constexpr double kMaxTracking = 100.0;
/// Longer texts are cut before measuring: no widget line shows more.
inline constexpr std::size_t kMaxTextBytes = 4096;
/// The system font's size where a font gives none that is usable.
inline constexpr double kDefaultFontSize = 13.0;

/// A length in 0…kMaxLength; one that is not finite reads as "not given".
std::optional<double> lengthOrNone(std::optional<double> value);

/// A length in 0…kMaxLength; `fallback` when it is not finite.
double lengthOr(double value, double fallback);

/// A coordinate in −kMaxLength…kMaxLength; 0 when it is not finite.
double unitCoordinate(double value);

/// Tracking in −kMaxTracking…kMaxTracking; 0 when it is not finite.
double sanitizedTracking(double tracking);

/// `font` with a size in 1…kMaxFontSize (kDefaultFontSize when not finite).
platform::ui::Font sanitizedFont(platform::ui::Font font);

/// What one line of text makes of a character. Backends that must be stricter
/// (a terminal, where a control byte steers the screen) decide per kind.
enum class LineCharacterKind : std::uint8_t {
  text,       // shown as itself
  blank,      // a tab, U+2028 or U+2029: a space
  lineBreak,  // a control that breaks the line (LF, CR, VT, FF, NEL): a space
  control,    // any other C0 or C1 control: not shown
  malformed,  // a byte that starts no well-formed UTF-8: U+FFFD
};

struct LineCharacter {
  LineCharacterKind kind = LineCharacterKind::text;
  char32_t codePoint = 0;  // U+FFFD when malformed
};

/// Reads the character at `pos` of `text` (before its end) and moves past it;
/// a malformed byte is passed alone.
LineCharacter readLineCharacter(std::string_view text, std::size_t& pos);

/// `text` as one line that every backend can draw: malformed UTF-8 replaced by
/// U+FFFD, every line break (CR LF, LF, CR, VT, FF, NEL, U+2028, U+2029) and tab
/// shown as one space, other control characters dropped, and the whole cut to
/// at most kMaxTextBytes at a character boundary.
std::string oneLineText(std::string_view text);

}  // namespace velto::host::layout
