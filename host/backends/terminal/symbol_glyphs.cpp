#include "host/backends/terminal/symbol_glyphs.hpp"

#include <array>
#include <utility>

namespace velto::host::terminal {

std::string_view symbolGlyph(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kGlyphs{{
      {"hourglass", "\u25D4"},
      {"sun.max", "\u2600"},
      {"play.fill", "\u25B6"},
      {"pause.fill", "\u2016"},
      {"stop.fill", "\u25A0"},
  }};
  for (const auto& [symbol, glyph] : kGlyphs) {
    if (symbol == name) {
      return glyph;
    }
  }
  return "\u25A1";
}

}  // namespace velto::host::terminal
