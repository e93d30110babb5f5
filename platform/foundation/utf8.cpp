#include "platform/foundation/utf8.hpp"

namespace platform::foundation {

std::optional<Utf8CodePoint> decodeUtf8(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    return Utf8CodePoint{lead, 1};
  }
  // The lead byte fixes the length and the range of the second byte; that
  // range is what rules out overlong forms, surrogates and values past U+10FFFF.
  std::size_t length = 0;
  char32_t value = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0FU;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07U;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return std::nullopt;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) {
      return std::nullopt;
    }
    value = (value << 6U) | (byte(i) & 0x3FU);
  }
  return Utf8CodePoint{value, length};
}

char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
  const std::optional<Utf8CodePoint> decoded = decodeUtf8(text.substr(pos));
  if (!decoded) {
    ++pos;
    return kReplacementCharacter;
  }
  pos += decoded->length;
  return decoded->value;
}

std::optional<std::size_t> utf8CodePointCount(std::string_view text) {
  std::size_t count = 0;
  while (!text.empty()) {
    const std::size_t length = utf8SequenceLength(text);
    if (length == 0) {
      return std::nullopt;
    }
    text.remove_prefix(length);
    ++count;
  }
  return count;
}

std::string validUtf8(std::string_view text) {
  if (isValidUtf8(text)) {
    return std::string(text);
  }
  std::string result;
  result.reserve(text.size() + 8);
  while (!text.empty()) {
    const std::size_t length = utf8SequenceLength(text);
    if (length == 0) {
      result += kReplacementUtf8;
      text.remove_prefix(1);
    } else {
      result.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return result;
}

}  // namespace platform::foundation
