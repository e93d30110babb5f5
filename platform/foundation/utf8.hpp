#pragma once

// Well-formed UTF-8 (RFC 3629): shortest forms only, no surrogates (U+D800 to
// U+DFFF), nothing above U+10FFFF. One decoder for the whole project: every
// reader of UTF-8 bytes goes through decodeUtf8 or the functions built on it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::foundation {

/// U+FFFD, what a byte that starts no well-formed sequence reads as.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

/// One decoded code point and the bytes its sequence takes (1 to 4).
struct Utf8CodePoint {
  char32_t value = 0;
  std::size_t length = 0;

  friend bool operator==(const Utf8CodePoint&, const Utf8CodePoint&) = default;
};

/// The code point whose well-formed sequence starts `text`, or nothing when
/// there is none (empty text included).
std::optional<Utf8CodePoint> decodeUtf8(std::string_view text);

/// Reads the code point at `pos` and moves past it; a byte that starts no
/// well-formed sequence reads as U+FFFD and is passed alone. `pos` must be
/// before the end of `text`.
char32_t nextCodePoint(std::string_view text, std::size_t& pos);

/// Length in bytes of the well-formed sequence at the start of `text`, or 0 when
/// there is none. 0 for empty text.
inline std::size_t utf8SequenceLength(std::string_view text) {
  const std::optional<Utf8CodePoint> decoded = decodeUtf8(text);
  return decoded ? decoded->length : 0;
}

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
