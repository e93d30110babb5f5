#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pango/pango.h>

#include "host/backends/cairo/handles.hpp"
#include "host/layout/text_measurer.hpp"
#include "platform/gobject/object_ref.hpp"
#include "platform/ui/font.hpp"

namespace velto::host::cairo {

/// The font family used for each design, chosen once from what is installed:
/// rounded "Comfortaa", monospaced "JetBrains Mono" (else "DejaVu Sans Mono"),
/// the default design "DejaVu Sans", serif "DejaVu Serif"; each falls back to
/// the system's generic "Sans", "Monospace" or "Serif".
struct FontFamilies {
  std::string standard;
  std::string rounded;
  std::string monospaced;
  std::string serif;

  const std::string& forDesign(platform::ui::Font::Design design) const;
};

/// The nearest Pango weight; fontconfig then picks the closest face installed.
PangoWeight pangoWeight(platform::ui::Font::Weight weight);

/// Measures and shapes lines with Pango on its own font map, with hinting off
/// so that a line measures the same at every scale it is drawn at. Tracking is
/// Pango letter spacing; monospaced digits the "tnum" OpenType feature, and in
/// a font without tabular digits (Comfortaa), letter spacing that pads each
/// digit to the widest one (a text of one lone digit keeps its own width).
///
/// Each distinct (text, style) is shaped once per frame and kept for drawing;
/// beginFrame() lets the next frame reuse those Pango layouts for its texts.
/// Not thread-safe: one per renderer.
class PangoTextMeasurer final : public layout::TextMeasurer {
 public:
  /// Shaped lines kept per frame; past this a frame starts over.
  static constexpr std::size_t kMaxLinesPerFrame = 512;

  PangoTextMeasurer();
  ~PangoTextMeasurer() override;
  PangoTextMeasurer(const PangoTextMeasurer&) = delete;
  PangoTextMeasurer& operator=(const PangoTextMeasurer&) = delete;

  layout::TextMetrics measure(std::string_view text, const layout::TextStyle& style) const override;

  /// The shaped line of (text, style), its top-left corner at the origin.
  PangoLayout* line(std::string_view text, const layout::TextStyle& style) const;

  void beginFrame();

  const FontFamilies& families() const { return families_; }

 private:
  struct Style {
    layout::TextStyle style;
    FontDescriptionPtr font;
    AttrListPtr attributes;
    /// Per digit, what it lacks of the widest digit; empty when digits need no padding.
    std::optional<std::array<double, 10>> digitPadding;
  };
  struct Line {
    std::string text;
    std::size_t style = 0;
    platform::gobject::ObjectRef<PangoLayout> layout;
    layout::TextMetrics metrics;
    bool ownAttributes = false;  // padded digits: attributes made for this text
  };

  const Line& shaped(std::string_view text, const layout::TextStyle& style) const;
  std::size_t styleIndex(const layout::TextStyle& style) const;
  std::optional<std::array<double, 10>> digitPadding(const PangoFontDescription* font,
                                                     PangoAttrList* attributes) const;
  static AttrListPtr paddedDigits(std::string_view text, const Style& style);

  platform::gobject::ObjectRef<PangoFontMap> fontMap_;
  platform::gobject::ObjectRef<PangoContext> context_;
  FontFamilies families_;
  mutable std::vector<Style> styles_;
  mutable std::vector<Line> lines_;
  mutable std::size_t linesInFrame_ = 0;
};

}  // namespace velto::host::cairo
