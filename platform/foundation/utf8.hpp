#pragma once

// Well-formed UTF-8 (RFC 3629): shortest forms only, no surrogates (U+D800 to
// U+DFFF), nothing above U+10FFFF. One decoder for the whole project.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::foundation {

/// Length in bytes of the well-formed sequence at the start of `text`, or 0 when
/// there is none. 0 for empty text.
std::size_t utf8SequenceLength(std::string_view text);

/// The number of code points in `text` when all of it is well-formed; nothing
/// otherwise.
std::optional<std::size_t> utf8CodePointCount(std::string_view text);

/// Whether all of `text` is well-formed.
inline bool isValidUtf8(std::string_view text) {
  return utf8CodePointCount(text).has_value();
}

/// `text` with each byte that starts no well-formed sequence replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace platform::foundation
