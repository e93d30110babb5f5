#pragma once

#include <cstddef>
#include <string_view>

#include "platform/ui/font.hpp"

namespace velto::host::layout {

/// Everything besides the characters that decides how a line of text measures.
struct TextStyle {
  platform::ui::Font font;
  /// Extra space between characters, in points.
  double tracking = 0.0;
  /// All digits one width.
  bool monospacedDigits = false;

  friend constexpr bool operator==(const TextStyle&, const TextStyle&) = default;
};

/// The size of one line of text at scale 1, in points.
struct TextMetrics {
  double width = 0.0;
  /// From the top of the line box down to the baseline.
  double ascent = 0.0;
  /// From the baseline down to the bottom of the line box.
  double descent = 0.0;

  constexpr double lineHeight() const { return ascent + descent; }

  friend constexpr bool operator==(const TextMetrics&, const TextMetrics&) = default;
};

/// Measures a single unwrapped line. The layout asks once per distinct
/// (text, style) in a pass, so an implementation need not cache.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual TextMetrics measure(std::string_view text, const TextStyle& style) const = 0;
};

/// A hash of a style, for caches keyed by (text, style).
std::size_t hashValue(const TextStyle& style);

}  // namespace velto::host::layout
