#include "host/layout/sanitize.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>

#include "platform/foundation/utf8.hpp"

namespace velto::host::layout {

using platform::foundation::decodeUtf8;
using platform::foundation::Utf8CodePoint;

namespace {

bool isLineBreak(char32_t c) {
  return c == U'\n' || c == U'\r' || c == U'\v' || c == U'\f' || c == 0x85;
}

bool isControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

LineCharacter readLineCharacter(std::string_view text, std::size_t& pos) {
  const std::optional<Utf8CodePoint> decoded = decodeUtf8(text.substr(pos));
  if (!decoded) {
    ++pos;
    return {LineCharacterKind::malformed, platform::foundation::kReplacementCharacter};
  }
  pos += decoded->length;
  const char32_t c = decoded->value;
  if (c == U'\t' || c == 0x2028 || c == 0x2029) {
    return {LineCharacterKind::blank, c};
  }
  if (isLineBreak(c)) {
    return {LineCharacterKind::lineBreak, c};
  }
  return {isControl(c) ? LineCharacterKind::control : LineCharacterKind::text, c};
}

std::optional<double> lengthOrNone(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    return std::nullopt;
  }
  return std::clamp(*value, 0.0, kMaxLength);
}

double lengthOr(double value, double fallback) {
  return std::isfinite(value) ? std::clamp(value, 0.0, kMaxLength) : fallback;
}

double unitCoordinate(double value) {
  return std::isfinite(value) ? std::clamp(value, -kMaxLength, kMaxLength) : 0.0;
}

double sanitizedTracking(double tracking) {
  return std::isfinite(tracking) ? std::clamp(tracking, -kMaxTracking, kMaxTracking) : 0.0;
}

platform::ui::Font sanitizedFont(platform::ui::Font font) {
  font.size =
      std::isfinite(font.size) ? std::clamp(font.size, 1.0, kMaxFontSize) : kDefaultFontSize;
  return font;
}

std::string oneLineText(std::string_view text) {
  std::string line;
  line.reserve(std::min(text.size(), kMaxTextBytes));
  const auto append = [&](std::string_view piece) {
    if (line.size() + piece.size() > kMaxTextBytes) {
      return false;
    }
    line += piece;
    return true;
  };
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    const LineCharacter c = readLineCharacter(text, i);
    std::string_view piece;
    switch (c.kind) {
      case LineCharacterKind::text:
        piece = text.substr(start, i - start);
        break;
      case LineCharacterKind::blank:
      case LineCharacterKind::lineBreak:
        piece = " ";
        break;
      case LineCharacterKind::control:
        break;
      case LineCharacterKind::malformed:
        piece = platform::foundation::kReplacementUtf8;
        break;
    }
    if (!append(piece)) {
      break;
    }
    if (c.codePoint == U'\r' && i < text.size() && text[i] == '\n') {
      ++i;  // CR LF is one break, not two
    }
  }
  return line;
}

}  // namespace velto::host::layout
