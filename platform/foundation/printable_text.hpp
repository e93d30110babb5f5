#pragma once

// The one escaping rule for untrusted text that any of our programs prints to
// a terminal or a log: protocol errors, click instances, snapshot texts.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::foundation {

/// The longest untrusted text shown in one line, in bytes.
inline constexpr std::size_t kMaxPrintableBytes = 300;

/// `text` fit for one line of a terminal or a log: control characters (C0, C1),
/// line and paragraph separators and bidirectional controls escaped as `\uXXXX`
/// (`\n`, `\r`, `\t`, `\\` in their short forms), bytes that are not UTF-8
/// replaced, cut after at most `maxBytes` bytes at a character boundary, with
/// "…" where it was cut.
std::string printableText(std::string_view text, std::size_t maxBytes = kMaxPrintableBytes);

}  // namespace platform::foundation
