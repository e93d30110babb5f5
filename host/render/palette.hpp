#pragma once

// The system colours for the light and the dark appearance, as a desktop shows
// them (sRGB, straight alpha):
//
//   colour             light                     dark
//   windowBackground   #ECECEC                   #282828
//   primary            #000000 at 85 %           #FFFFFF at 88 %
//   secondary          #000000 at 56 %           #FFFFFF at 55 %
//   green              #34C759                   #30D158
//   orange             #FF9500                   #FF9F0A
//   clear              transparent               transparent
//
// A colour's opacity multiplies the alpha.

#include "host/render/appearance.hpp"
#include "platform/ui/color.hpp"

namespace velto::host::render {

/// A colour with straight (not premultiplied) alpha, each channel 0…1.
struct Rgba {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
  double alpha = 0.0;
  friend constexpr bool operator==(const Rgba&, const Rgba&) = default;
};

/// The system colour as `appearance` shows it, before any opacity.
Rgba systemColor(platform::ui::SystemColor name, Appearance appearance);

/// `color` resolved for `appearance`: its system colour with the alpha scaled by
/// its opacity, clamped to 0…1 (an opacity that is not a number reads as 0).
Rgba resolve(const platform::ui::Color& color, Appearance appearance);

/// The pill that reports a fault over the widget: white on a red that stays
/// the same in either appearance, so that it never reads as part of the timer.
inline constexpr Rgba kStatusPillFill{0.75, 0.12, 0.1, 0.92};
inline constexpr Rgba kStatusPillText{1.0, 1.0, 1.0, 1.0};

}  // namespace velto::host::render
