#include "platform/foundation/printable_text.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/foundation/utf8.hpp"

namespace platform::foundation {

namespace {

constexpr std::string_view kCutMark = "\xE2\x80\xA6";  // …

// Characters that would break the line or let the text restyle or reorder the
// terminal's output: C0 and C1 controls, line and paragraph separators, and
// the bidirectional embeddings, overrides and isolates.
bool isHidden(std::uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029
         || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E
         || c == 0x200F || c == 0x061C;
}

std::string escaped(std::uint32_t c) {
  if (c == '\n') {
    return "\\n";
  }
  if (c == '\r') {
    return "\\r";
  }
  if (c == '\t') {
    return "\\t";
  }
  if (c == '\\') {
    return "\\\\";
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) {
    text.push_back(kHex[(c >> shift) & 0xF]);
  }
  return text;
}

}  // namespace

std::string printableText(std::string_view text, std::size_t maxBytes) {
  std::string printable;
  printable.reserve(std::min(text.size(), maxBytes) + kCutMark.size());
  while (!text.empty()) {
    const std::optional<Utf8CodePoint> decoded = decodeUtf8(text);
    const std::size_t length = decoded ? decoded->length : 1;
    std::string piece;
    if (!decoded) {
      piece = kReplacementUtf8;
    } else if (isHidden(decoded->value) || decoded->value == '\\') {
      piece = escaped(decoded->value);
    } else {
      piece = std::string(text.substr(0, length));
    }
    if (printable.size() + piece.size() > maxBytes) {
      printable += kCutMark;
      break;
    }
    printable += piece;
    text.remove_prefix(length);
  }
  return printable;
}

}  // namespace platform::foundation
