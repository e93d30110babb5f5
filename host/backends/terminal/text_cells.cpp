#include "host/backends/terminal/text_cells.hpp"

#include <cstdint>

#include <glib.h>
#include <locale.h>
#include <wchar.h>

#include "host/layout/sanitize.hpp"
#include "platform/foundation/utf8.hpp"

namespace velto::host::terminal {

namespace {

bool isVariationSelector(char32_t c) {
  return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
}

/// What becomes of one code point in a cell.
enum class Role : std::uint8_t {
  glyph,     // drawn as itself
  mark,      // drawn on the glyph before it, taking no cell
  dropped,   // not drawn
  space,     // drawn as a space
  replaced,  // drawn as U+FFFD
};

struct CodePointUse {
  Role role = Role::glyph;
  int width = 1;
};

// The layout's one-line rules, made stricter: a control character becomes
// U+FFFD where the layout drops it, and of the rest only what every terminal
// advances over alike takes a cell.
CodePointUse place(layout::LineCharacter character) {
  switch (character.kind) {
    case layout::LineCharacterKind::text:
      break;
    case layout::LineCharacterKind::blank:
      return {Role::space, 1};
    case layout::LineCharacterKind::lineBreak:
    case layout::LineCharacterKind::control:
    case layout::LineCharacterKind::malformed:
      return {Role::replaced, 1};
  }
  const char32_t c = character.codePoint;
  if (c >= 0x20 && c < 0x7F) {
    return {};
  }
  if (c == platform::foundation::kReplacementCharacter) {
    return {Role::replaced, 1};  // as text it would keep the marks after it
  }
  switch (g_unichar_type(static_cast<gunichar>(c))) {
    case G_UNICODE_FORMAT:  // joiners, bidi controls, the soft hyphen
      return {Role::dropped, 0};
    case G_UNICODE_UNASSIGNED:  // noncharacters too
    case G_UNICODE_SURROGATE:
      return {Role::replaced, 1};
    default:
      break;
  }
  if (isVariationSelector(c)) {
    return {Role::dropped, 0};  // an emoji presentation widens a glyph on some terminals only
  }
  const int width = codePointWidth(c);
  const std::optional<int> library = libraryWidth(c);
  const bool agreed = !library || *library == width;
  if (width == 0) {
    const GUnicodeType type = g_unichar_type(static_cast<gunichar>(c));
    const bool combining = type == G_UNICODE_NON_SPACING_MARK || type == G_UNICODE_ENCLOSING_MARK;
    return {combining && agreed ? Role::mark : Role::dropped, 0};
  }
  return agreed ? CodePointUse{Role::glyph, width} : CodePointUse{Role::replaced, 1};
}

}  // namespace

int codePointWidth(char32_t c) {
  if (g_unichar_iszerowidth(static_cast<gunichar>(c))) {
    return 0;
  }
  return g_unichar_iswide(static_cast<gunichar>(c)) ? 2 : 1;
}

std::optional<int> libraryWidth(char32_t c) {
  // Made once and kept for the process: a locale handle is all it holds.
  static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (utf8 == nullptr) {
    return std::nullopt;
  }
  const locale_t previous = ::uselocale(utf8);
  const int width = ::wcwidth(static_cast<wchar_t>(c));
  ::uselocale(previous);
  return width;
}

void forEachGlyph(std::string_view text,
                  const std::function<void(std::string_view glyph, int width)>& visit) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const CodePointUse base = place(layout::readLineCharacter(text, pos));
    if (base.role == Role::dropped || base.role == Role::mark) {
      continue;  // nothing to draw, or a mark with nothing to sit on
    }
    // Marks stay with their base, within kMaxGlyphBytes; the glyph is one run
    // of bytes, so a dropped character ends its marks.
    std::size_t end = pos;
    while (pos < text.size()) {
      std::size_t next = pos;
      const Role role = place(layout::readLineCharacter(text, next)).role;
      if (role != Role::mark && role != Role::dropped) {
        break;
      }
      const bool extends = pos == end && role == Role::mark;
      pos = next;
      if (extends && next - start <= kMaxGlyphBytes) {
        end = next;
      }
    }
    const std::string_view glyph = base.role == Role::space      ? std::string_view(" ")
                                   : base.role == Role::replaced ? kReplacementGlyph
                                                                 : text.substr(start, end - start);
    visit(glyph, base.width);
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
