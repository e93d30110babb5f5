#pragma once

// Helpers for the strings that JSON text carries: UTF-8, and quoting for messages.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::foundation {

/// Length in bytes of the well-formed UTF-8 sequence at the start of `text`, or
/// 0 when there is none (RFC 3629: no overlong forms, no surrogates, nothing
/// above U+10FFFF). 0 for empty text.
std::size_t utf8SequenceLength(std::string_view text);

/// Whether all of `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

/// `text` with each byte that starts no well-formed sequence replaced by U+FFFD.
std::string validUtf8(std::string_view text);

/// `text` as a JSON string literal, quotes included, so a message that names a
/// key or a value stays on one line and shows control characters escaped. Bytes
/// that are not UTF-8 become U+FFFD.
std::string jsonQuoted(std::string_view text);

}  // namespace platform::foundation
