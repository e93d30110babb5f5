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
#include "host/layout/text_fitting.hpp"
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
  /// The gap before each child, the first's 0.
  std::vector<double> gaps;
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
  std::string text;  // the resolved content (verbatim, key or clock text) as one line
  TextStyle style;
  platform::ui::Color color = platform::ui::Color::primary();
  double minimumScaleFactor = 1.0;
  /// Set for a live timer text, whose `text` follows the instant drawn.
  std::optional<platform::ui::Text::Timer> timer;
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

/// Where one node ended up, in widget coordinates.
struct NodeLayout {
  Rect frame;
  /// For text and label nodes: the fitted line, the width it was fitted into
  /// (empty: unlimited) and the box it is drawn in.
  std::optional<TextFit> text;
  std::optional<double> textOffer;
  Rect textBox;
  /// For label nodes: the symbol's square.
  Rect symbolBox;
};

struct LayoutResults {
  std::vector<NodeLayout> nodes;  // indexed by NodeId
  Rect widget;
  double cornerRadius = 0.0;
};

}  // namespace velto::host::layout
