#pragma once

// The modifiers of the view tree, as values, and the fluent methods that apply
// them; "platform/ui/view.hpp" defines those methods.

#include <cstdint>
#include <optional>
#include <variant>

#include "platform/ui/box.hpp"
#include "platform/ui/font.hpp"
#include "platform/ui/geometry.hpp"

namespace platform::ui {

struct View;

/// A level of the current foreground style.
enum class HierarchicalShapeStyle : std::uint8_t { primary, secondary, tertiary };

/// Where a container background goes; a widget has one, behind all its content.
enum class ContainerBackgroundPlacement : std::uint8_t { widget };

/// Text in the view and its descendants uses `font`; on a Label it covers title and symbol.
struct FontModifier {
  Font font;
  friend bool operator==(const FontModifier&, const FontModifier&) = default;
};

/// Extra space between characters, in points (negative tightens).
struct TrackingModifier {
  double tracking = 0.0;
  friend bool operator==(const TrackingModifier&, const TrackingModifier&) = default;
};

/// Text wraps to at most `limit` lines; no limit when empty.
struct LineLimitModifier {
  std::optional<int> limit;
  friend bool operator==(const LineLimitModifier&, const LineLimitModifier&) = default;
};

/// Text may shrink to `factor` (0…1) of its size before it is truncated.
struct MinimumScaleFactorModifier {
  double factor = 1.0;
  friend bool operator==(const MinimumScaleFactorModifier&,
                         const MinimumScaleFactorModifier&) = default;
};

/// All digits take one width, so changing numbers do not shift sideways.
struct MonospacedDigitModifier {
  friend bool operator==(const MonospacedDigitModifier&, const MonospacedDigitModifier&) = default;
};

/// Content is drawn in `style`, a level of the current foreground style.
struct ForegroundStyleModifier {
  HierarchicalShapeStyle style = HierarchicalShapeStyle::primary;
  friend bool operator==(const ForegroundStyleModifier&, const ForegroundStyleModifier&) = default;
};

/// A box of the given size around the view, which is placed in it by `alignment`.
/// An empty width or height takes the view's own size on that axis.
struct FrameModifier {
  std::optional<double> width;
  std::optional<double> height;
  Alignment alignment = Alignment::center;
  friend bool operator==(const FrameModifier&, const FrameModifier&) = default;
};

/// `content` drawn behind the view, the size of the view's box, placed by `alignment`.
struct BackgroundModifier {
  Box<View> content;
  Alignment alignment = Alignment::center;
  friend bool operator==(const BackgroundModifier&, const BackgroundModifier&) = default;
};

/// `content` drawn behind everything in the container named by `placement`,
/// filling it, placed by `alignment`.
struct ContainerBackgroundModifier {
  ContainerBackgroundPlacement placement = ContainerBackgroundPlacement::widget;
  Alignment alignment = Alignment::center;
  Box<View> content;
  friend bool operator==(const ContainerBackgroundModifier&,
                         const ContainerBackgroundModifier&) = default;
};

/// One modifier. A view's modifiers apply in order, each to the result of the
/// ones before it, so a later frame wraps an earlier one.
using Modifier =
    std::variant<FontModifier, TrackingModifier, LineLimitModifier, MinimumScaleFactorModifier,
                 MonospacedDigitModifier, ForegroundStyleModifier, FrameModifier,
                 BackgroundModifier, ContainerBackgroundModifier>;

/// The fluent modifier methods, shared by View and every element type. Each
/// returns a new View: the receiver (as a view) with one more modifier appended.
template <class Self>
class ViewModifiers {
 public:
  View modifier(Modifier modifier) const&;
  View modifier(Modifier modifier) &&;

  View font(Font font) const&;
  View font(Font font) &&;
  View tracking(double tracking) const&;
  View tracking(double tracking) &&;
  View lineLimit(std::optional<int> limit) const&;
  View lineLimit(std::optional<int> limit) &&;
  View minimumScaleFactor(double factor) const&;
  View minimumScaleFactor(double factor) &&;
  View monospacedDigit() const&;
  View monospacedDigit() &&;
  View foregroundStyle(HierarchicalShapeStyle style) const&;
  View foregroundStyle(HierarchicalShapeStyle style) &&;
  View frame(std::optional<double> width, std::optional<double> height,
             Alignment alignment = Alignment::center) const&;
  View frame(std::optional<double> width, std::optional<double> height,
             Alignment alignment = Alignment::center) &&;
  View background(View content, Alignment alignment = Alignment::center) const&;
  View background(View content, Alignment alignment = Alignment::center) &&;
  View containerBackground(ContainerBackgroundPlacement placement, Alignment alignment,
                           View content) const&;
  View containerBackground(ContainerBackgroundPlacement placement, Alignment alignment,
                           View content) &&;

  friend bool operator==(const ViewModifiers&, const ViewModifiers&) = default;
};

}  // namespace platform::ui
