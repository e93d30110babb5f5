#pragma once

// The flat, ordered output of the layout: what a backend paints, back to front,
// with a plain switch over the alternatives. Colours stay system colours so that
// the appearance is chosen by the backend, not by the layout.

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "host/layout/geometry.hpp"
#include "host/layout/text_measurer.hpp"
#include "platform/ui/color.hpp"
#include "platform/ui/font.hpp"

namespace velto::host::layout {

/// Clips every later command to a rounded rectangle until the matching PopClip.
struct PushClip {
  Rect rect;
  double cornerRadius = 0.0;
  friend bool operator==(const PushClip&, const PushClip&) = default;
};

struct PopClip {
  friend bool operator==(const PopClip&, const PopClip&) = default;
};

/// A rectangle filled with a colour; square corners when `cornerRadius` is 0.
struct FillRect {
  Rect rect;
  double cornerRadius = 0.0;
  platform::ui::Color color;
  friend bool operator==(const FillRect&, const FillRect&) = default;
};

struct FillCircle {
  Point center;
  double radius = 0.0;
  platform::ui::Color color;
  friend bool operator==(const FillCircle&, const FillCircle&) = default;
};

struct GradientStop {
  double location = 0.0;  // 0…1 from the start radius to the end radius
  platform::ui::Color color;
  friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

/// `rect` filled with circles of colour around `center`: the first stop at
/// `startRadius` and inside it, the last at `endRadius` and beyond.
struct FillRadialGradient {
  Rect rect;
  Point center;
  double startRadius = 0.0;
  double endRadius = 0.0;
  std::vector<GradientStop> stops;
  friend bool operator==(const FillRadialGradient&, const FillRadialGradient&) = default;
};

/// One line of text. `box` is its line box as drawn; the backend draws the
/// text at `style`'s size, scaled by `scale` about the box's top-left corner,
/// and clips it to `box` (leaving at most a few pixels for glyphs that overhang
/// their line), so that no run of stacked marks paints over its neighbours.
struct DrawText {
  Rect box;
  std::string text;
  TextStyle style;
  platform::ui::Color color;
  double scale = 1.0;
  /// A live timer's text, which changes with the instant drawn; every other
  /// text stays as it is until the widget is laid out anew.
  bool live = false;
  friend bool operator==(const DrawText&, const DrawText&) = default;
};

/// A symbol of the symbol set drawn to fill a square `box`; strokes follow `weight`.
struct DrawSymbol {
  Rect box;
  std::string name;
  platform::ui::Color color;
  platform::ui::Font::Weight weight = platform::ui::Font::Weight::regular;
  friend bool operator==(const DrawSymbol&, const DrawSymbol&) = default;
};

/// Not drawn: where a tap opens `url`.
struct LinkRegion {
  Rect rect;
  std::string url;
  friend bool operator==(const LinkRegion&, const LinkRegion&) = default;
};

using DrawCommand = std::variant<PushClip, PopClip, FillRect, FillCircle, FillRadialGradient,
                                 DrawText, DrawSymbol, LinkRegion>;

/// The alternatives of DrawCommand in order, for a backend's plain `switch`
/// (with no `default:`, so the compiler names a kind it does not handle).
enum class CommandKind : std::uint8_t {
  pushClip,
  popClip,
  fillRect,
  fillCircle,
  fillRadialGradient,
  drawText,
  drawSymbol,
  linkRegion,
};

template <CommandKind kKind, class T>
inline constexpr bool kKindIs =
    std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(kKind), DrawCommand>, T>;
static_assert(std::variant_size_v<DrawCommand> == 8
                  && kKindIs<
                      CommandKind::pushClip, PushClip> && kKindIs<CommandKind::popClip, PopClip> && kKindIs<CommandKind::fillRect, FillRect> && kKindIs<CommandKind::fillCircle, FillCircle> && kKindIs<CommandKind::fillRadialGradient, FillRadialGradient> && kKindIs<CommandKind::drawText, DrawText> && kKindIs<CommandKind::drawSymbol, DrawSymbol> && kKindIs<CommandKind::linkRegion, LinkRegion>,
              "CommandKind lists DrawCommand's alternatives in order");

/// Which alternative `command` holds.
constexpr CommandKind kindOf(const DrawCommand& command) {
  return static_cast<CommandKind>(command.index());
}

/// The commands for one widget, in painting order, over a canvas of `size` points.
struct DrawList {
  Size size;
  std::vector<DrawCommand> commands;
  friend bool operator==(const DrawList&, const DrawList&) = default;
};

}  // namespace velto::host::layout
