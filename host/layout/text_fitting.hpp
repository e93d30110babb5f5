#pragma once

// Fits one line of text into the width it is offered: whole, shrunk down to its
// minimum scale factor, or cut short with "…".

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>

#include "host/layout/geometry.hpp"
#include "host/layout/text_measurer.hpp"

namespace velto::host::layout {

/// How a text (or a label's title) was fitted into its box.
struct TextFit {
  std::string text;  // possibly truncated with "…"
  double scale = 1.0;
  TextMetrics metrics;  // of `text`, at scale 1

  /// The fitted line's size as drawn.
  Size size() const { return {metrics.width * scale, metrics.lineHeight() * scale}; }
};

/// Measures each (text, style) once through `measurer` and keeps the answer,
/// with lengths that are negative or not finite read as 0.
class MeasureCache {
 public:
  explicit MeasureCache(const TextMeasurer& measurer) : measurer_(measurer) {}

  const TextMetrics& measure(const std::string& text, const TextStyle& style);

 private:
  struct Key {
    std::string text;
    TextStyle style;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };

  const TextMeasurer& measurer_;
  std::unordered_map<Key, TextMetrics, KeyHash> measured_;
};

/// Fits `text` in `style` into `width` (no limit when empty):
/// 1. The whole text when it fits.
/// 2. Else the whole text shrunk to fit, when that keeps it at or above
///    `minimumScale`.
/// 3. Else, at `minimumScale`, the longest start of the text that fits with "…"
///    after it (trailing spaces dropped), or nothing at all.
TextFit fitText(const std::string& text, const TextStyle& style, double minimumScale,
                std::optional<double> width, MeasureCache& cache);

}  // namespace velto::host::layout
