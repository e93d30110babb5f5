#include "host/backends/terminal/text_cells.hpp"

#include <glib.h>

namespace velto::host::terminal {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

/// Whether a zero-width character belongs in the glyph before it.
bool isAttachable(char32_t c) {
  const GUnicodeType type = g_unichar_type(static_cast<gunichar>(c));
  return type == G_UNICODE_NON_SPACING_MARK || type == G_UNICODE_ENCLOSING_MARK
         || c == 0x200D;  // the joiner of emoji sequences
}

}  // namespace

char32_t decodeUtf8(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
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
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!isContinuation(byte)) {
      ++pos;
      return kReplacement;
    }
    value = (value << 6U) | (byte & 0x3FU);
  }
  // Overlong forms, surrogates and values beyond Unicode are not text.
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return value;
}

int codePointWidth(char32_t c) {
  if (g_unichar_iszerowidth(static_cast<gunichar>(c))) {
    return 0;
  }
  return g_unichar_iswide(static_cast<gunichar>(c)) ? 2 : 1;
}

void forEachGlyph(std::string_view text,
                  const std::function<void(std::string_view glyph, int width)>& visit) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t base = decodeUtf8(text, pos);
    const int width = codePointWidth(base);
    if (width == 0) {
      continue;  // a mark with nothing to sit on
    }
    const bool tab = base == U'\t';
    const bool replaced = !tab && (base == kReplacement || isControl(base));
    // Marks stay with their base, within kMaxGlyphBytes; other zero-width
    // characters (format and bidi controls) are dropped.
    std::size_t end = pos;
    while (pos < text.size()) {
      std::size_t next = pos;
      const char32_t mark = decodeUtf8(text, next);
      if (mark == kReplacement || codePointWidth(mark) != 0) {
        break;
      }
      // The glyph is one run of bytes, so a dropped character ends its marks.
      const bool extends = pos == end && isAttachable(mark);
      pos = next;
      if (extends && next - start <= kMaxGlyphBytes) {
        end = next;
      }
    }
    const std::string_view glyph = tab        ? std::string_view(" ")
                                   : replaced ? kReplacementGlyph
                                              : text.substr(start, end - start);
    visit(glyph, width);
  }
}

int displayWidth(std::string_view text) {
  int cells = 0;
  forEachGlyph(text, [&cells](std::string_view, int width) { cells += width; });
  return cells;
}

}  // namespace velto::host::terminal

namespace velto::host::terminal {

std::string fitText(std::string_view text, int columns) {
  if (displayWidth(text) <= columns) {
    return std::string(text);
  }
  if (columns <= 0) {
    return {};
  }
  std::string out;
  int used = 0;
  forEachGlyph(text, [&](std::string_view glyph, int width) {
    if (used + width <= columns - 1) {
      out += glyph;
      used += width;
    } else {
      used = columns;
    }
  });
  out.erase(out.find_last_not_of(' ') + 1);
  out += "\u2026";
  return out;
}

}  // namespace velto::host::terminal
