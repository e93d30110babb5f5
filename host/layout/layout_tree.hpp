#pragma once

// The stages' plain data: the view tree resolved into layout nodes (environment
// applied, modifiers turned into wrapper nodes), and the results of laying them
// out, kept on their own records indexed by node.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/layout/geometry.hpp"
#include "host/layout/text_measurer.hpp"
#include "platform/ui/color.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/font.hpp"
#include "platform/ui/geometry.hpp"

namespace velto::host::layout {

using NodeId = std::uint32_t;

enum class Axis : std::uint8_t { horizontal, vertical };

/// VStack (vertical) or HStack (horizontal). Only the cross-axis part of
/// `alignment` is used.
struct StackNode {
  Axis axis = Axis::vertical;
  platform::ui::Alignment alignment;
  std::optional<double> spacing;  // the default gap rules when empty
};

struct ZStackNode {
  platform::ui::Alignment alignment;
};

struct SpacerNode {
  double minLength = 0.0;
  /// The enclosing stack's axis; a spacer outside any stack grows on both.
  std::optional<Axis> axis;
};

struct TextNode {
  std::string text;  // the resolved content: verbatim, key or clock text
  TextStyle style;
  platform::ui::Color color = platform::ui::Color::primary();
  double minimumScaleFactor = 1.0;
};

struct LabelNode {
  TextNode title;
  std::string symbol;
};

struct ImageNode {
  std::string symbol;
  platform::ui::Font font;
  platform::ui::Color color = platform::ui::Color::primary();
};

struct CircleNode {
  platform::ui::Color color = platform::ui::Color::primary();
};

/// A colour used as a view: fills its box.
struct FillNode {
  platform::ui::Color color = platform::ui::Color::clear();
};

struct GradientNode {
  platform::ui::RadialGradient gradient;
};

/// One child in a box of the given size (its own size where empty).
struct FrameNode {
  std::optional<double> width;
  std::optional<double> height;
  platform::ui::Alignment alignment;
};

/// children[0] is the view, children[1] what is drawn behind it at its size.
struct BackgroundNode {
  platform::ui::Alignment alignment;
};

/// One child; the whole box of the view holding the link answers a tap.
struct LinkNode {
  std::string url;
};

using NodeContent =
    std::variant<StackNode, ZStackNode, SpacerNode, TextNode, LabelNode, ImageNode, CircleNode,
                 FillNode, GradientNode, FrameNode, BackgroundNode, LinkNode>;

struct LayoutNode {
  NodeContent content;
  std::vector<NodeId> children;
  /// Whether the node grows to what it is offered along each axis.
  bool expandsHorizontally = false;
  bool expandsVertically = false;
};

struct LayoutTree {
  std::vector<LayoutNode> nodes;
  NodeId root = 0;
  /// The widget's container background, laid out over the whole widget.
  std::optional<NodeId> containerBackground;
  platform::ui::Alignment containerBackgroundAlignment;
};

/// How a text (or a label's title) was fitted into its box.
struct TextFit {
  std::string text;  // possibly truncated with "…"
  double scale = 1.0;
  TextMetrics metrics;  // of `text`, at scale 1
};

/// Where one node ended up, in widget coordinates.
struct NodeLayout {
  Rect frame;
  std::optional<TextFit> text;  // for text and label nodes
};

struct LayoutResults {
  std::vector<NodeLayout> nodes;  // indexed by NodeId
  Rect widget;
  Rect content;
  double cornerRadius = 0.0;
};

}  // namespace velto::host::layout
