#include "host/render/palette.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velto::host::render {

using platform::ui::SystemColor;

namespace {

constexpr Rgba hex(std::uint32_t rgb, double alpha = 1.0) {
  return {static_cast<double>((rgb >> 16) & 0xFFU) / 255.0,
          static_cast<double>((rgb >> 8) & 0xFFU) / 255.0, static_cast<double>(rgb & 0xFFU) / 255.0,
          alpha};
}

}  // namespace

Rgba systemColor(SystemColor name, Appearance appearance) {
  const bool dark = appearance == Appearance::dark;
  switch (name) {
    case SystemColor::green:
      return dark ? hex(0x30D158) : hex(0x34C759);
    case SystemColor::orange:
      return dark ? hex(0xFF9F0A) : hex(0xFF9500);
    case SystemColor::primary:
      return dark ? hex(0xFFFFFF, 0.88) : hex(0x000000, 0.85);
    case SystemColor::secondary:
      // Light: 56 % is the faintest that still reads at 4.5:1 on the window
      // background where the widget's orange glow darkens it.
      return dark ? hex(0xFFFFFF, 0.55) : hex(0x000000, 0.56);
    case SystemColor::clear:
      return {};
    case SystemColor::windowBackground:
      return dark ? hex(0x282828) : hex(0xECECEC);
  }
  return {};
}

Rgba resolve(const platform::ui::Color& color, Appearance appearance) {
  Rgba rgba = systemColor(color.name(), appearance);
  const double opacity = std::isnan(color.opacity()) ? 0.0 : color.opacity();
  rgba.alpha = std::clamp(rgba.alpha * opacity, 0.0, 1.0);
  return rgba;
}

}  // namespace velto::host::render
