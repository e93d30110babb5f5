#include "host/layout/sanitize.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>

namespace velto::host::layout {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

/// The code point starting at `text[i]` and its length in bytes, or nothing
/// when the bytes there are not well-formed UTF-8 (overlong forms, surrogates
/// and values past U+10FFFF included).
std::optional<std::pair<char32_t, std::size_t>> decode(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    return std::pair{char32_t{lead}, std::size_t{1}};
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0U) == 0xC0U) {
    length = 2;
    value = lead & 0x1FU;
    minimum = 0x80;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 3;
    value = lead & 0x0FU;
    minimum = 0x800;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 4;
    value = lead & 0x07U;
    minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (i + length > text.size()) {
    return std::nullopt;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0U) != 0x80U) {
      return std::nullopt;
    }
    value = (value << 6) | (byte(k) & 0x3FU);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return std::nullopt;
  }
  return std::pair{value, length};
}

bool isLineBreakOrTab(char32_t c) {
  return c == U'\n' || c == U'\r' || c == U'\t' || c == U'\v' || c == U'\f' || c == 0x85
         || c == 0x2028 || c == 0x2029;
}

bool isOtherControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

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
    const auto decoded = decode(text, i);
    if (!decoded) {
      if (!append(kReplacement)) {
        break;
      }
      ++i;
      continue;
    }
    const auto [c, length] = *decoded;
    // CR LF is one break, not two.
    const bool crlf = c == U'\r' && i + 1 < text.size() && text[i + 1] == '\n';
    std::string_view piece = text.substr(i, length);
    if (isLineBreakOrTab(c)) {
      piece = " ";
    } else if (isOtherControl(c)) {
      piece = {};
    }
    if (!append(piece)) {
      break;
    }
    i += length + (crlf ? 1 : 0);
  }
  return line;
}

}  // namespace velto::host::layout
