#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace platform::foundation {

/// The number of code points in `text` when it is well-formed UTF-8: shortest
/// forms only, no surrogates (U+D800 to U+DFFF), nothing above U+10FFFF.
/// Nothing for any other byte sequence.
std::optional<std::size_t> utf8CodePointCount(std::string_view text);

/// Whether `text` is well-formed UTF-8 in the sense of utf8CodePointCount.
inline bool isValidUtf8(std::string_view text) {
  return utf8CodePointCount(text).has_value();
}

}  // namespace platform::foundation
