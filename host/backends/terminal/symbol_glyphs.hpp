#pragma once

// The symbols as Unicode glyphs, each one cell wide in common terminal fonts
// (East Asian width neutral or ambiguous, drawn narrow outside CJK locales)
// and each in DejaVu Sans Mono, which every Debian desktop has:
//
//   hourglass   ◔ U+25D4   (no default font has ⌛ U+231B or ⧗ U+29D7)
//   sun.max     ☀ U+2600
//   play.fill   ▶ U+25B6
//   pause.fill  ‖ U+2016   (nor ⏸ U+23F8)
//   stop.fill   ■ U+25A0
//   unknown     □ U+25A1   (the empty box other backends draw)

#include <string_view>

namespace velto::host::terminal {

/// The glyph for the symbol called `name`.
std::string_view symbolGlyph(std::string_view name);

/// The glyph for a circle too small to fill a cell (the status dot).
inline constexpr std::string_view kDotGlyph = "\u25CF";

/// What stands for each cell of a text in a redacted placeholder.
inline constexpr std::string_view kRedactedGlyph = "\u2586";

/// What ends a text cut short.
inline constexpr std::string_view kEllipsisGlyph = "\u2026";

}  // namespace velto::host::terminal
