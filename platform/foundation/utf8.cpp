#include "platform/foundation/utf8.hpp"

#include <cstdint>

namespace platform::foundation {

std::optional<std::size_t> utf8CodePointCount(std::string_view text) {
  // Table 3-7 of the Unicode standard: the second byte's range depends on the
  // first, which is what excludes overlong forms, surrogates and values past U+10FFFF.
  std::size_t count = 0;
  std::size_t i = 0;
  const auto byteAt = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
  while (i < text.size()) {
    const std::uint8_t lead = byteAt(i);
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return std::nullopt;
    }
    if (text.size() - i < length) {
      return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const std::uint8_t next = byteAt(i + k);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return std::nullopt;
      }
    }
    i += length;
    ++count;
  }
  return count;
}

}  // namespace platform::foundation
