// Every character the bar and the terminal print must be drawn by the fonts a
// Debian desktop has by default, or a person sees hex boxes.

#include <string>
#include <string_view>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include "host/backends/bar/bar_backend.hpp"
#include "host/backends/bar/bar_line.hpp"
#include "host/backends/bar/bar_reading.hpp"
#include "host/backends/terminal/symbol_glyphs.hpp"

namespace velto::host::bar {
namespace {

struct Printed {
  std::string where;
  std::string_view text;
};

std::vector<Printed> everyPrintedSymbol() {
  std::vector<Printed> printed;
  for (const auto& [name, glyph] : kSymbolGlyphs) {
    printed.push_back({"bar " + std::string(name), glyph});
    printed.push_back({"terminal " + std::string(name), terminal::symbolGlyph(name)});
  }
  printed.push_back({"bar unknown symbol", symbolGlyph("no.such.symbol")});
  printed.push_back({"terminal unknown symbol", terminal::symbolGlyph("no.such.symbol")});
  for (const TimerState state : {TimerState::running, TimerState::paused, TimerState::stopped}) {
    printed.push_back({"bar state " + std::string(stateName(state)), stateGlyph(state)});
  }
  printed.push_back({"bar status", kStatusGlyph});
  printed.push_back({"bar redacted", kRedactedGlyph});
  printed.push_back({"terminal dot", terminal::kDotGlyph});
  printed.push_back({"terminal redacted", terminal::kRedactedGlyph});
  printed.push_back({"terminal ellipsis", terminal::kEllipsisGlyph});
  return printed;
}

/// The character set of the installed font `family`, which the test owns; null
/// when fontconfig picks another family for it (the font is not installed).
FcCharSet* charsetOf(const char* family, std::string& matched) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* font = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  FcCharSet* charset = nullptr;
  FcChar8* name = nullptr;
  if (font != nullptr && FcPatternGetString(font, FC_FAMILY, 0, &name) == FcResultMatch) {
    matched = reinterpret_cast<const char*>(name);
    FcCharSet* found = nullptr;
    if (matched == family && FcPatternGetCharSet(font, FC_CHARSET, 0, &found) == FcResultMatch) {
      charset = FcCharSetCopy(found);
    }
  }
  if (font != nullptr) {
    FcPatternDestroy(font);
  }
  return charset;
}

TEST(PrintedSymbols, AreAllInDejaVuSansAndDejaVuSansMono) {
  ASSERT_TRUE(FcInit());
  for (const char* family : {"DejaVu Sans", "DejaVu Sans Mono"}) {
    std::string matched;
    FcCharSet* charset = charsetOf(family, matched);
    ASSERT_NE(nullptr, charset) << family << " is not installed (fonts-dejavu-core); got "
                                << matched;
    for (const auto& [where, text] : everyPrintedSymbol()) {
      ASSERT_FALSE(text.empty()) << where;
      const auto* bytes = reinterpret_cast<const FcChar8*>(text.data());
      int left = static_cast<int>(text.size());
      while (left > 0) {
        FcChar32 character = 0;
        const int length = FcUtf8ToUcs4(bytes, &character, left);
        ASSERT_GT(length, 0) << where << ": not UTF-8";
        EXPECT_TRUE(FcCharSetHasChar(charset, character))
            << family << " lacks U+" << std::hex << std::uppercase << character << " (" << where
            << ")";
        bytes += length;
        left -= length;
      }
    }
    FcCharSetDestroy(charset);
  }
}

}  // namespace
}  // namespace velto::host::bar
