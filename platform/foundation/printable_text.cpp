#include "platform/foundation/printable_text.hpp"

#include <algorithm>
#include <cstdint>

#include "platform/foundation/utf8.hpp"

namespace platform::foundation {

namespace {

constexpr std::string_view kCutMark = "\xE2\x80\xA6";  // …

std::uint32_t codePoint(std::string_view sequence) {
  // The lead byte keeps 7, 5, 4 or 3 bits; each continuation byte adds 6.
  static constexpr std::uint32_t kLeadMask[] = {0x7F, 0x1F, 0x0F, 0x07};
  std::uint32_t c = static_cast<unsigned char>(sequence[0]) & kLeadMask[sequence.size() - 1];
  for (const char byte : sequence.substr(1)) {
    c = (c << 6) | (static_cast<unsigned char>(byte) & 0x3Fu);
  }
  return c;
}

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
    const std::size_t length = utf8SequenceLength(text);
    std::string piece;
    if (length == 0) {
      piece = "\xEF\xBF\xBD";
    } else if (const std::uint32_t c = codePoint(text.substr(0, length));
               isHidden(c) || c == '\\') {
      piece = escaped(c);
    } else {
      piece = std::string(text.substr(0, length));
    }
    if (printable.size() + piece.size() > maxBytes) {
      printable += kCutMark;
      break;
    }
    printable += piece;
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return printable;
}

}  // namespace platform::foundation
