#pragma once

// Lays out a widget's view tree and turns it into draw commands, in three
// stages with plain data between them:
//
//   buildLayoutTree: View → LayoutTree   (environment resolved, texts made)
//   computeLayout:   LayoutTree → LayoutResults  (sizes and positions)
//   drawCommands:    both → DrawList      (flat, in painting order)
//
// The rules follow the declarative platform: a parent proposes a size, the
// child chooses its own, and the parent places it.
// - Stacks give each child its ideal length when it fits. Fixed children
//   (texts, labels, images and stacks of them) are served first, the smallest
//   first, each offered an equal share of what is left after the growing
//   children's minimums; then the growing children (spacers, colours, circles,
//   gradients) share the rest equally. A text offered less than its width
//   shrinks down to its minimum scale factor, then truncates its tail with "…".
// - Default gap between neighbours in a stack: kDefaultStackSpacing (8 pt), and
//   none next to a spacer, whose own minimum length (kDefaultSpacerMinLength,
//   8 pt) keeps the distance. A stack given an explicit spacing uses it between
//   every pair.
// - Text is one line; a line limit above one does not wrap it. Line breaks show
//   as spaces, other control characters are not drawn, and a backend clips each
//   text to its own box.
// - The default font is the system font at kDefaultFontSize (13 pt) regular; the
//   foreground defaults to the primary colour. Font, tracking, line limit,
//   minimum scale factor, monospaced digits and foreground style pass down to
//   everything inside the view they modify, and the innermost one wins.
// - A label is its symbol (a square of the font's size) then its title,
//   0.4 of the font size apart; an image is a square of the font size.
// - Colours, circles and gradients fill what they are offered (kIdealShapeLength
//   when offered nothing); a circle is the largest that fits its box, centred.
// - The content is laid out in the widget inset by the content margin; the
//   container background fills the whole widget behind it, and everything is
//   clipped to the widget's rounded rectangle.
// - Lengths that are negative, not finite or beyond kMaxLength are clamped (not
//   finite reads as "not given"), so an absurd tree still lays out; a tree that
//   is too deep or too large to lay out is refused with a LayoutError.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "host/layout/draw_command.hpp"
#include "host/layout/geometry.hpp"
#include "host/layout/layout_tree.hpp"
#include "host/layout/sanitize.hpp"
#include "host/layout/stack_distribution.hpp"
#include "host/layout/text_measurer.hpp"
#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/ui/view.hpp"

namespace velto::host::layout {

inline constexpr double kDefaultSpacerMinLength = 8.0;
inline constexpr double kIdealShapeLength = 10.0;

/// Deeper or larger trees are refused.
inline constexpr int kMaxTreeDepth = 128;
inline constexpr int kMaxNodeDepth = 512;  // views and their modifiers' wrappers
inline constexpr std::size_t kMaxNodes = 20'000;

/// The widget being laid out and the instant it is drawn for.
struct WidgetCanvas {
  Size size;
  /// Space kept free between the widget's edge and its content.
  double contentMargin = 0.0;
  /// The widget's corners; everything is clipped to them.
  double cornerRadius = 0.0;
  /// Timer texts count up to this instant.
  platform::foundation::Date instant;
};

struct LayoutError {
  enum class Code : std::uint8_t { tooDeep, tooLarge, invalidCanvas };
  Code code;
  std::string message;  // one line, for a person
};

/// Stage 1: the tree with its environment resolved and its texts made.
platform::foundation::Expected<LayoutTree, LayoutError> buildLayoutTree(
    const platform::ui::View& view, platform::foundation::Date instant);

/// Stage 2: every node's box. Each distinct (text, style) is measured once.
platform::foundation::Expected<LayoutResults, LayoutError> computeLayout(
    const LayoutTree& tree, const WidgetCanvas& canvas, const TextMeasurer& measurer);

/// Stage 3: the commands that paint the laid-out tree, back to front.
DrawList drawCommands(const LayoutTree& tree, const LayoutResults& results);

/// All three stages.
platform::foundation::Expected<DrawList, LayoutError> layoutWidget(const platform::ui::View& view,
                                                                   const WidgetCanvas& canvas,
                                                                   const TextMeasurer& measurer);

}  // namespace velto::host::layout
