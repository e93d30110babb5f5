#pragma once

// A label's measures, in one place for sizing, placing and re-fitting it: the
// symbol is a square of the font's size, then a gap of kLabelGapRatio of it,
// then the title, both centred vertically.

#include <algorithm>
#include <optional>

#include "host/layout/geometry.hpp"

namespace velto::host::layout::internal {

inline constexpr double kLabelGapRatio = 0.4;

/// The width left for the title when the label is offered `width`.
inline std::optional<double> labelTitleOffer(double fontSize, std::optional<double> width) {
  if (!width) {
    return std::nullopt;
  }
  return std::max(0.0, *width - fontSize - fontSize * kLabelGapRatio);
}

/// The label's size around a title of size `title`.
inline Size labelSize(double fontSize, Size title) {
  return {fontSize + fontSize * kLabelGapRatio + title.width, std::max(fontSize, title.height)};
}

struct LabelBoxes {
  Rect symbol;
  Rect title;
};

/// Where the symbol and a title of size `title` sit in the label's `frame`.
inline LabelBoxes labelBoxes(double fontSize, const Rect& frame, Size title) {
  return {Rect{frame.x, frame.y + (frame.height - fontSize) / 2, fontSize, fontSize},
          Rect{frame.x + fontSize + fontSize * kLabelGapRatio,
               frame.y + (frame.height - title.height) / 2, title.width, title.height}};
}

}  // namespace velto::host::layout::internal
