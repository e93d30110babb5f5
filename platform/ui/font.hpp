#pragma once

#include <cstdint>

namespace platform::ui {

/// A system font at a point size, weight and design. The host picks the face.
struct Font {
  enum class Weight : std::uint8_t {
    ultraLight,
    thin,
    light,
    regular,
    medium,
    semibold,
    bold,
    heavy,
    black,
  };

  /// `standard` is the platform's `default` design, a keyword in C++.
  enum class Design : std::uint8_t { standard, rounded, monospaced, serif };

  static constexpr Font system(double size, Weight weight = Weight::regular,
                               Design design = Design::standard) {
    return Font{size, weight, design};
  }

  double size = 17.0;  // points
  Weight weight = Weight::regular;
  Design design = Design::standard;

  friend constexpr bool operator==(const Font&, const Font&) = default;
};

}  // namespace platform::ui
