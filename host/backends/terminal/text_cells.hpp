#pragma once

// How text occupies terminal cells: read by the layout's one-line rules
// (layout::readLineCharacter, on the one UTF-8 decoder), split into glyphs (a base
// character and the combining marks that follow it), each one or two cells wide
// by its East Asian width, as wcwidth reports it in a non-CJK locale (ambiguous
// characters take one cell). Bytes that would steer the terminal never pass:
// control characters become U+FFFD, invalid UTF-8 too.
//
// Only what every terminal advances over alike reaches a cell, because a cell
// the terminal draws wider or narrower than counted here leaves stale cells on
// an incremental repaint: format characters (joiners, bidi controls), variation
// selectors and marks the C library does not know as zero-width are dropped;
// line and paragraph separators become a space; noncharacters, unassigned code
// points, and characters whose width the C library's wcwidth (which tmux and
// screen use) and GLib's tables disagree on become U+FFFD.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/utf8.hpp"

namespace velto::host::terminal {

/// The most bytes one cell's glyph keeps; further marks on it are dropped.
inline constexpr std::size_t kMaxGlyphBytes = 32;

/// The replacement for bytes that are not text.
inline constexpr std::string_view kReplacementGlyph = platform::foundation::kReplacementUtf8;

/// Cells a code point takes by GLib's tables: 0 for combining marks and other
/// zero-width characters, 2 for wide and full-width ones, else 1.
int codePointWidth(char32_t c);

/// What wcwidth says of `c` in the C.UTF-8 locale (-1 for what it does not
/// know), or nothing when the C library has no such locale.
std::optional<int> libraryWidth(char32_t c);

/// Calls `visit(glyph, width)` for every glyph of `text` in order; `glyph` is
/// valid UTF-8 without control characters and `width` is 1 or 2.
void forEachGlyph(std::string_view text,
                  const std::function<void(std::string_view glyph, int width)>& visit);

/// Cells `text` takes on one line.
int displayWidth(std::string_view text);

/// `text` as it is when it fits `columns` cells, else cut to fit with "…" at its end.
std::string fitText(std::string_view text, int columns);

}  // namespace velto::host::terminal
