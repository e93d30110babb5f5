// Stage 1 of the layout: the view tree with its environment resolved, its
// modifiers turned into wrapper nodes and its texts made.

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "host/layout/internal/one_of.hpp"
#include "host/layout/layout.hpp"
#include "host/layout/timer_text.hpp"
#include "platform/foundation/overloaded.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/modifiers.hpp"

namespace velto::host::layout {

using internal::OneOf;
using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::overloaded;
using platform::foundation::Unexpected;
namespace ui = platform::ui;

namespace {

// Tertiary is primary at this opacity; secondary has a system colour of its own.
constexpr double kTertiaryOpacity = 0.3;
constexpr double kMinScaleFactor = 0.01;

/// What passes down the tree, as the platform's environment does.
struct Environment {
  ui::Font font = ui::Font::system(kDefaultFontSize);
  double tracking = 0.0;
  double minimumScaleFactor = 1.0;
  bool monospacedDigits = false;
  ui::HierarchicalShapeStyle foreground = ui::HierarchicalShapeStyle::primary;

  ui::Color foregroundColor() const {
    switch (foreground) {
      case ui::HierarchicalShapeStyle::primary:
        return ui::Color::primary();
      case ui::HierarchicalShapeStyle::secondary:
        return ui::Color::secondary();
      case ui::HierarchicalShapeStyle::tertiary:
        return ui::Color::primary().opacity(kTertiaryOpacity);
    }
    return ui::Color::primary();
  }

  TextStyle textStyle() const { return {font, tracking, monospacedDigits}; }
};

class TreeBuilder {
 public:
  explicit TreeBuilder(Date instant) : instant_(instant) {}

  Expected<LayoutTree, LayoutError> build(const ui::View& view) {
    tree_.root = buildView(view, Environment{}, std::nullopt, 1);
    if (error_) {
      return Unexpected(std::move(*error_));
    }
    return std::move(tree_);
  }

 private:
  /// A frame or background to wrap around the element, with its backdrop built.
  struct Wrapper {
    const ui::Modifier* modifier;
    std::optional<NodeId> backdrop;
  };

  NodeId buildView(const ui::View& view, const Environment& outer, std::optional<Axis> axis,
                   int depth) {
    if (error_) {
      return 0;
    }
    if (depth > kMaxTreeDepth) {
      fail(LayoutError::Code::tooDeep, "the view tree is nested deeper than the layout allows");
      return 0;
    }
    // Modifiers apply inside out, so the environment is taken from the last
    // (outermost) one inwards and the innermost setting wins.
    Environment env = outer;
    std::vector<Wrapper> wrappers;  // outermost first
    for (auto it = view.modifiers.rbegin(); it != view.modifiers.rend(); ++it) {
      std::visit(
          overloaded{
              [&](const ui::FontModifier& m) { env.font = sanitizedFont(m.font); },
              [&](const ui::TrackingModifier& m) { env.tracking = sanitizedTracking(m.tracking); },
              [&](const ui::MinimumScaleFactorModifier& m) {
                env.minimumScaleFactor =
                    std::isfinite(m.factor) ? std::clamp(m.factor, kMinScaleFactor, 1.0) : 1.0;
              },
              [&](const ui::MonospacedDigitModifier&) { env.monospacedDigits = true; },
              [&](const ui::ForegroundStyleModifier& m) { env.foreground = m.style; },
              // Every text is one line already.
              [&](const ui::LineLimitModifier&) {},
              [&](const ui::FrameModifier&) {
                wrappers.push_back({&*it, std::nullopt});
              },
              [&](const ui::BackgroundModifier& m) {
                if (!m.content.valuelessAfterMove()) {
                  wrappers.push_back({&*it, buildView(*m.content, env, std::nullopt, depth + 1)});
                }
              },
              [&](const ui::ContainerBackgroundModifier& m) {
                // The widget has one container background; the outermost wins.
                if (!tree_.containerBackground && !m.content.valuelessAfterMove()) {
                  tree_.containerBackground = buildView(*m.content, env, std::nullopt, depth + 1);
                  tree_.containerBackgroundAlignment = m.alignment;
                }
              },
          },
          *it);
    }

    NodeId id = buildElement(view.element, env, axis, depth);
    for (auto it = wrappers.rbegin(); it != wrappers.rend(); ++it) {
      if (const auto* frame = std::get_if<ui::FrameModifier>(it->modifier)) {
        id = add(
            FrameNode{lengthOrNone(frame->width), lengthOrNone(frame->height), frame->alignment},
            {id});
      } else if (const auto* background = std::get_if<ui::BackgroundModifier>(it->modifier)) {
        id = add(BackgroundNode{background->alignment}, {id, *it->backdrop});
      }
    }
    if (const auto* link = std::get_if<ui::Link>(&view.element)) {
      id = add(LinkNode{link->destination.absoluteString()}, {id});
    }
    return id;
  }

  template <Axis kAxis, class Stack>
  NodeId stack(const Stack& e, const Environment& env, int depth) {
    std::vector<NodeId> children;
    children.reserve(e.children.size());
    for (const ui::View& child : e.children) {
      children.push_back(buildView(child, env, kAxis, depth + 1));
    }
    if (error_) {
      return 0;
    }
    ui::Alignment alignment;
    if constexpr (kAxis == Axis::vertical) {
      alignment.horizontal = e.alignment;
    } else {
      alignment.vertical = e.alignment;
    }
    std::vector<bool> spacers;
    for (const NodeId child : children) {
      spacers.push_back(std::holds_alternative<SpacerNode>(tree_.nodes[child].content));
    }
    return add(StackNode{kAxis, alignment, stackGaps(spacers, lengthOrNone(e.spacing))},
               std::move(children));
  }

  NodeId buildElement(const ui::Element& element, const Environment& env, std::optional<Axis> axis,
                      int depth) {
    return std::visit(
        overloaded{
            [&](const ui::VStack& e) { return stack<Axis::vertical>(e, env, depth); },
            [&](const ui::HStack& e) { return stack<Axis::horizontal>(e, env, depth); },
            [&](const ui::ZStack& e) {
              std::vector<NodeId> children;
              children.reserve(e.children.size());
              for (const ui::View& child : e.children) {
                children.push_back(buildView(child, env, axis, depth + 1));
              }
              return add(ZStackNode{e.alignment}, std::move(children));
            },
            [&](const ui::Spacer& e) {
              return add(
                  SpacerNode{lengthOrNone(e.minLength).value_or(kDefaultSpacerMinLength), axis},
                  {});
            },
            [&](const ui::Text& e) { return add(textNode(e, env), {}); },
            [&](const ui::Label& e) {
              return add(LabelNode{textNode(e.title, env), e.systemImage}, {});
            },
            [&](const ui::Image& e) {
              return add(ImageNode{e.name, env.font, env.foregroundColor()}, {});
            },
            [&](const ui::Circle& e) {
              return add(CircleNode{e.fillColor.value_or(env.foregroundColor())}, {});
            },
            [&](const ui::Color& e) { return add(FillNode{e}, {}); },
            [&](const ui::RadialGradient& e) {
              ui::RadialGradient gradient = e;
              gradient.center = {unitCoordinate(e.center.x), unitCoordinate(e.center.y)};
              gradient.startRadius = lengthOr(e.startRadius, 0.0);
              gradient.endRadius = lengthOr(e.endRadius, 0.0);
              return add(GradientNode{std::move(gradient)}, {});
            },
            [&](const ui::Link& e) {
              if (e.label.valuelessAfterMove()) {
                return add(FillNode{ui::Color::clear()}, {});
              }
              return buildView(*e.label, env, axis, depth + 1);
            },
        },
        element);
  }

  TextNode textNode(const ui::Text& text, const Environment& env) const {
    TextNode node{{}, env.textStyle(), env.foregroundColor(), env.minimumScaleFactor, {}};
    std::visit(overloaded{
                   [&](const ui::Text::Verbatim& c) { node.text = oneLineText(c.string); },
                   // No translations ship: the key is shown.
                   [&](const ui::LocalizedStringKey& c) { node.text = oneLineText(c.key); },
                   [&](const ui::Text::Timer& c) {
                     node.text = timerClockText(c.anchor, instant_);
                     node.timer = c;
                   },
               },
               text.content);
    return node;
  }

  NodeId add(NodeContent content, std::vector<NodeId> children) {
    if (error_) {
      return 0;
    }
    if (tree_.nodes.size() >= kMaxNodes) {
      fail(LayoutError::Code::tooLarge, "the view tree has more nodes than the layout allows");
      return 0;
    }
    LayoutNode node{std::move(content), std::move(children)};
    int height = 1;
    for (NodeId child : node.children) {
      height = std::max(height, heights_[child] + 1);
    }
    if (height > kMaxNodeDepth) {
      fail(LayoutError::Code::tooDeep, "the view tree nests more modifiers than the layout allows");
      return 0;
    }
    setExpansion(node);
    tree_.nodes.push_back(std::move(node));
    heights_.push_back(height);
    return static_cast<NodeId>(tree_.nodes.size() - 1);
  }

  /// Whether a node grows with its offer, from its kind and its children's.
  void setExpansion(LayoutNode& node) const {
    const auto anyChild = [&](bool LayoutNode::*flag) {
      return std::any_of(node.children.begin(), node.children.end(),
                         [&](NodeId child) { return tree_.nodes[child].*flag; });
    };
    const auto firstChild = [&](bool LayoutNode::*flag) {
      return !node.children.empty() && tree_.nodes[node.children.front()].*flag;
    };
    const auto set = [&](bool horizontally, bool vertically) {
      node.expandsHorizontally = horizontally;
      node.expandsVertically = vertically;
    };
    std::visit(overloaded{
                   [&](const OneOf<StackNode, ZStackNode> auto&) {
                     set(anyChild(&LayoutNode::expandsHorizontally),
                         anyChild(&LayoutNode::expandsVertically));
                   },
                   [&](const SpacerNode& spacer) {
                     set(spacer.axis != Axis::vertical, spacer.axis != Axis::horizontal);
                   },
                   [&](const OneOf<CircleNode, FillNode, GradientNode> auto&) { set(true, true); },
                   [&](const FrameNode& frame) {
                     set(!frame.width && firstChild(&LayoutNode::expandsHorizontally),
                         !frame.height && firstChild(&LayoutNode::expandsVertically));
                   },
                   [&](const OneOf<BackgroundNode, LinkNode> auto&) {
                     set(firstChild(&LayoutNode::expandsHorizontally),
                         firstChild(&LayoutNode::expandsVertically));
                   },
                   [&](const OneOf<TextNode, LabelNode, ImageNode> auto&) { set(false, false); },
               },
               node.content);
  }

  void fail(LayoutError::Code code, std::string message) {
    if (!error_) {
      error_ = LayoutError{code, std::move(message)};
    }
  }

  Date instant_;
  LayoutTree tree_;
  std::vector<int> heights_;  // per node: the longest path down to a leaf
  std::optional<LayoutError> error_;
};

}  // namespace

Expected<LayoutTree, LayoutError> buildLayoutTree(const ui::View& view, Date instant) {
  return TreeBuilder(instant).build(view);
}

}  // namespace velto::host::layout
