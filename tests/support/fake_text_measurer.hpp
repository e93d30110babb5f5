#pragma once

// For tests: a measurer with simple, exact arithmetic instead of fonts.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "host/layout/text_measurer.hpp"

namespace velto::host::layout {

/// Every character is kAdvance × size wide, plus the tracking between
/// characters; the line is the font size tall, its baseline at 0.8 of it.
/// Counts its calls per (text, font size) so tests can see the layout's cache.
class FakeTextMeasurer final : public TextMeasurer {
 public:
  static constexpr double kAdvance = 0.6;
  static constexpr double kAscent = 0.8;

  static double widthOf(std::string_view text, double size, double tracking = 0.0) {
    std::size_t characters = 0;
    for (const char c : text) {
      characters += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U ? 1U : 0U;
    }
    if (characters == 0) {
      return 0.0;
    }
    return static_cast<double>(characters) * kAdvance * size
           + static_cast<double>(characters - 1) * tracking;
  }

  TextMetrics measure(std::string_view text, const TextStyle& style) const override {
    ++calls_[{std::string(text), style.font.size}];
    const double size = style.font.size;
    return {widthOf(text, size, style.tracking), kAscent * size, (1 - kAscent) * size};
  }

  int calls(const std::string& text, double size) const {
    const auto found = calls_.find({text, size});
    return found == calls_.end() ? 0 : found->second;
  }

 private:
  mutable std::map<std::pair<std::string, double>, int> calls_;
};

}  // namespace velto::host::layout
