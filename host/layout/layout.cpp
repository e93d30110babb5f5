#include "host/layout/layout.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>

#include "host/layout/timer_text.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/modifiers.hpp"

namespace velto::host::layout {

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
namespace ui = platform::ui;

std::size_t hashValue(const TextStyle& style) {
  std::size_t seed = std::hash<double>{}(style.font.size);
  const auto mix = [&seed](std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
  };
  mix(static_cast<std::size_t>(style.font.weight));
  mix(static_cast<std::size_t>(style.font.design));
  mix(std::hash<double>{}(style.tracking));
  mix(style.monospacedDigits ? 1U : 0U);
  return seed;
}

namespace {

// Secondary and tertiary are levels of the primary colour; secondary has a
// system colour of its own, tertiary is primary at this opacity.
constexpr double kTertiaryOpacity = 0.3;
constexpr double kMinScaleFactor = 0.01;
constexpr double kEpsilon = 1e-6;
// Bounds the work of measuring a pathological tree; a real widget needs a few hundred.
constexpr std::size_t kMaxEvaluations = 200'000;

LayoutError error(LayoutError::Code code, std::string message) {
  return LayoutError{code, std::move(message)};
}

// --- Sanitising -------------------------------------------------------------

std::optional<double> lengthOrNone(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    return std::nullopt;
  }
  return std::clamp(*value, 0.0, kMaxLength);
}

double lengthOr(double value, double fallback) {
  return std::isfinite(value) ? std::clamp(value, 0.0, kMaxLength) : fallback;
}

ui::Font sanitized(ui::Font font) {
  font.size =
      std::isfinite(font.size) ? std::clamp(font.size, 1.0, kMaxFontSize) : kDefaultFontSize;
  return font;
}

double unitCoordinate(double value) {
  return std::isfinite(value) ? std::clamp(value, -kMaxLength, kMaxLength) : 0.0;
}

/// `text` cut to at most kMaxTextBytes, at a UTF-8 character boundary.
std::string capped(std::string text) {
  if (text.size() <= kMaxTextBytes) {
    return text;
  }
  std::size_t end = kMaxTextBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
    --end;
  }
  text.resize(end);
  return text;
}

double alignmentFactor(ui::HorizontalAlignment alignment) {
  switch (alignment) {
    case ui::HorizontalAlignment::leading:
      return 0.0;
    case ui::HorizontalAlignment::center:
      return 0.5;
    case ui::HorizontalAlignment::trailing:
      return 1.0;
  }
  return 0.5;
}

double alignmentFactor(ui::VerticalAlignment alignment) {
  switch (alignment) {
    case ui::VerticalAlignment::top:
      return 0.0;
    case ui::VerticalAlignment::center:
      return 0.5;
    case ui::VerticalAlignment::bottom:
      return 1.0;
  }
  return 0.5;
}

/// Where a box of `inner` size sits in `outer` by `alignment`.
Point aligned(const Rect& outer, Size inner, ui::Alignment alignment) {
  return {outer.x + (outer.width - inner.width) * alignmentFactor(alignment.horizontal),
          outer.y + (outer.height - inner.height) * alignmentFactor(alignment.vertical)};
}

// --- Stage 1: the layout tree -------------------------------------------------

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
          [&](const auto& modifier) {
            using M = std::decay_t<decltype(modifier)>;
            if constexpr (std::is_same_v<M, ui::FontModifier>) {
              env.font = sanitized(modifier.font);
            } else if constexpr (std::is_same_v<M, ui::TrackingModifier>) {
              env.tracking = std::isfinite(modifier.tracking)
                                 ? std::clamp(modifier.tracking, -kMaxTracking, kMaxTracking)
                                 : 0.0;
            } else if constexpr (std::is_same_v<M, ui::MinimumScaleFactorModifier>) {
              env.minimumScaleFactor = std::isfinite(modifier.factor)
                                           ? std::clamp(modifier.factor, kMinScaleFactor, 1.0)
                                           : 1.0;
            } else if constexpr (std::is_same_v<M, ui::MonospacedDigitModifier>) {
              env.monospacedDigits = true;
            } else if constexpr (std::is_same_v<M, ui::ForegroundStyleModifier>) {
              env.foreground = modifier.style;
            } else if constexpr (std::is_same_v<M, ui::LineLimitModifier>) {
              // Every text is one line already.
            } else if constexpr (std::is_same_v<M, ui::FrameModifier>) {
              wrappers.push_back({&*it, std::nullopt});
            } else if constexpr (std::is_same_v<M, ui::BackgroundModifier>) {
              if (!modifier.content.valuelessAfterMove()) {
                wrappers.push_back(
                    {&*it, buildView(*modifier.content, env, std::nullopt, depth + 1)});
              }
            } else if constexpr (std::is_same_v<M, ui::ContainerBackgroundModifier>) {
              // The widget has one container background; the outermost wins.
              if (!tree_.containerBackground && !modifier.content.valuelessAfterMove()) {
                tree_.containerBackground =
                    buildView(*modifier.content, env, std::nullopt, depth + 1);
                tree_.containerBackgroundAlignment = modifier.alignment;
              }
            }
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

  NodeId buildElement(const ui::Element& element, const Environment& env, std::optional<Axis> axis,
                      int depth) {
    return std::visit(
        [&](const auto& e) -> NodeId {
          using E = std::decay_t<decltype(e)>;
          if constexpr (std::is_same_v<E, ui::VStack> || std::is_same_v<E, ui::HStack>) {
            constexpr Axis kAxis =
                std::is_same_v<E, ui::VStack> ? Axis::vertical : Axis::horizontal;
            std::vector<NodeId> children;
            children.reserve(e.children.size());
            for (const ui::View& child : e.children) {
              children.push_back(buildView(child, env, kAxis, depth + 1));
            }
            ui::Alignment alignment;
            if constexpr (kAxis == Axis::vertical) {
              alignment.horizontal = e.alignment;
            } else {
              alignment.vertical = e.alignment;
            }
            return add(StackNode{kAxis, alignment, lengthOrNone(e.spacing)}, std::move(children));
          } else if constexpr (std::is_same_v<E, ui::ZStack>) {
            std::vector<NodeId> children;
            children.reserve(e.children.size());
            for (const ui::View& child : e.children) {
              children.push_back(buildView(child, env, axis, depth + 1));
            }
            return add(ZStackNode{e.alignment}, std::move(children));
          } else if constexpr (std::is_same_v<E, ui::Spacer>) {
            return add(
                SpacerNode{lengthOrNone(e.minLength).value_or(kDefaultSpacerMinLength), axis}, {});
          } else if constexpr (std::is_same_v<E, ui::Text>) {
            return add(textNode(e, env), {});
          } else if constexpr (std::is_same_v<E, ui::Label>) {
            return add(LabelNode{textNode(e.title, env), e.systemImage}, {});
          } else if constexpr (std::is_same_v<E, ui::Image>) {
            return add(ImageNode{e.name, env.font, env.foregroundColor()}, {});
          } else if constexpr (std::is_same_v<E, ui::Circle>) {
            return add(CircleNode{e.fillColor.value_or(env.foregroundColor())}, {});
          } else if constexpr (std::is_same_v<E, ui::Color>) {
            return add(FillNode{e}, {});
          } else if constexpr (std::is_same_v<E, ui::RadialGradient>) {
            ui::RadialGradient gradient = e;
            gradient.center = {unitCoordinate(e.center.x), unitCoordinate(e.center.y)};
            gradient.startRadius = lengthOr(e.startRadius, 0.0);
            gradient.endRadius = lengthOr(e.endRadius, 0.0);
            return add(GradientNode{std::move(gradient)}, {});
          } else if constexpr (std::is_same_v<E, ui::Link>) {
            if (e.label.valuelessAfterMove()) {
              return add(FillNode{ui::Color::clear()}, {});
            }
            return buildView(*e.label, env, axis, depth + 1);
          }
        },
        element);
  }

  TextNode textNode(const ui::Text& text, const Environment& env) const {
    std::string content = std::visit(
        [&](const auto& c) -> std::string {
          using C = std::decay_t<decltype(c)>;
          if constexpr (std::is_same_v<C, ui::Text::Verbatim>) {
            return c.string;
          } else if constexpr (std::is_same_v<C, ui::LocalizedStringKey>) {
            return c.key;  // no translations ship: the key is shown
          } else {
            return timerClockText(c.anchor, instant_);
          }
        },
        text.content);
    return TextNode{capped(std::move(content)), env.textStyle(), env.foregroundColor(),
                    env.minimumScaleFactor};
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
    std::visit(
        [&](const auto& content) {
          using C = std::decay_t<decltype(content)>;
          if constexpr (std::is_same_v<C, StackNode> || std::is_same_v<C, ZStackNode>) {
            node.expandsHorizontally = anyChild(&LayoutNode::expandsHorizontally);
            node.expandsVertically = anyChild(&LayoutNode::expandsVertically);
          } else if constexpr (std::is_same_v<C, SpacerNode>) {
            node.expandsHorizontally = content.axis != Axis::vertical;
            node.expandsVertically = content.axis != Axis::horizontal;
          } else if constexpr (
              std::is_same_v<
                  C,
                  CircleNode> || std::is_same_v<C, FillNode> || std::is_same_v<C, GradientNode>) {
            node.expandsHorizontally = true;
            node.expandsVertically = true;
          } else if constexpr (std::is_same_v<C, FrameNode>) {
            node.expandsHorizontally =
                !content.width && firstChild(&LayoutNode::expandsHorizontally);
            node.expandsVertically = !content.height && firstChild(&LayoutNode::expandsVertically);
          } else if constexpr (std::is_same_v<C, BackgroundNode> || std::is_same_v<C, LinkNode>) {
            node.expandsHorizontally = firstChild(&LayoutNode::expandsHorizontally);
            node.expandsVertically = firstChild(&LayoutNode::expandsVertically);
          }
        },
        node.content);
  }

  void fail(LayoutError::Code code, std::string message) {
    if (!error_) {
      error_ = error(code, std::move(message));
    }
  }

  Date instant_;
  LayoutTree tree_;
  std::vector<int> heights_;  // per node: the longest path down to a leaf
  std::optional<LayoutError> error_;
};

// --- Stage 2: sizes and positions --------------------------------------------

/// What a parent offers a child; an empty length asks for the child's ideal.
struct Proposal {
  std::optional<double> width;
  std::optional<double> height;

  std::optional<double> along(Axis axis) const { return axis == Axis::horizontal ? width : height; }
  std::optional<double> across(Axis axis) const {
    return axis == Axis::horizontal ? height : width;
  }
  static Proposal of(Axis axis, std::optional<double> along, std::optional<double> across) {
    return axis == Axis::horizontal ? Proposal{along, across} : Proposal{across, along};
  }
  friend bool operator==(const Proposal&, const Proposal&) = default;
};

double along(Axis axis, Size size) {
  return axis == Axis::horizontal ? size.width : size.height;
}
double across(Axis axis, Size size) {
  return axis == Axis::horizontal ? size.height : size.width;
}

struct MeasureKey {
  std::string text;
  TextStyle style;
  friend bool operator==(const MeasureKey&, const MeasureKey&) = default;
};
struct MeasureKeyHash {
  std::size_t operator()(const MeasureKey& key) const {
    return std::hash<std::string>{}(key.text) ^ (hashValue(key.style) << 1);
  }
};

/// The byte offsets just past each UTF-8 character of `text`.
std::vector<std::size_t> characterEnds(std::string_view text) {
  std::vector<std::size_t> ends;
  for (std::size_t i = 1; i <= text.size(); ++i) {
    if (i == text.size() || (static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U) {
      ends.push_back(i);
    }
  }
  return ends;
}

class LayoutEngine {
 public:
  LayoutEngine(const LayoutTree& tree, const TextMeasurer& measurer)
      : tree_(tree), measurer_(measurer), memo_(tree.nodes.size()) {
    results_.nodes.resize(tree.nodes.size());
  }

  bool exhausted() const { return evaluations_ > kMaxEvaluations; }
  LayoutResults& results() { return results_; }

  Size sizeThatFits(NodeId id, Proposal proposal) {
    for (const auto& [asked, size] : memo_[id]) {
      if (asked == proposal) {
        return size;
      }
    }
    if (++evaluations_ > kMaxEvaluations) {
      return {};
    }
    const Size size = computeSize(id, proposal);
    memo_[id].emplace_back(proposal, size);
    return size;
  }

  /// Gives `id` its size for `proposal` with its top-left corner at `origin`,
  /// then places its children inside.
  void place(NodeId id, Point origin, Proposal proposal) {
    if (exhausted()) {
      return;
    }
    const Size size = sizeThatFits(id, proposal);
    const Rect frame{origin.x, origin.y, size.width, size.height};
    NodeLayout& result = results_.nodes[id];
    result.frame = frame;
    const LayoutNode& node = tree_.nodes[id];
    std::visit(
        [&](const auto& content) {
          using C = std::decay_t<decltype(content)>;
          if constexpr (std::is_same_v<C, StackNode>) {
            placeStack(node, content, frame, proposal);
          } else if constexpr (std::is_same_v<C, ZStackNode>) {
            for (NodeId child : node.children) {
              place(child, aligned(frame, sizeThatFits(child, proposal), content.alignment),
                    proposal);
            }
          } else if constexpr (std::is_same_v<C, TextNode>) {
            result.text = fitText(content, proposal.width);
          } else if constexpr (std::is_same_v<C, LabelNode>) {
            result.text = fitText(content.title, titleWidth(content, proposal.width));
          } else if constexpr (std::is_same_v<C, FrameNode>) {
            const Proposal inner = frameProposal(content, proposal);
            place(node.children[0],
                  aligned(frame, sizeThatFits(node.children[0], inner), content.alignment), inner);
          } else if constexpr (std::is_same_v<C, BackgroundNode>) {
            place(node.children[0], origin, proposal);
            const Proposal exact{size.width, size.height};
            place(node.children[1],
                  aligned(frame, sizeThatFits(node.children[1], exact), content.alignment), exact);
          } else if constexpr (std::is_same_v<C, LinkNode>) {
            place(node.children[0], origin, proposal);
          }
        },
        node.content);
  }

 private:
  struct Distribution {
    std::vector<std::optional<double>> offers;  // along the axis, per child
    std::vector<double> lengths;
    double gaps = 0.0;
  };

  Size computeSize(NodeId id, Proposal proposal) {
    const LayoutNode& node = tree_.nodes[id];
    return std::visit(
        [&](const auto& content) -> Size {
          using C = std::decay_t<decltype(content)>;
          if constexpr (std::is_same_v<C, StackNode>) {
            const Distribution d = distribute(node, content, proposal);
            const double length = std::accumulate(d.lengths.begin(), d.lengths.end(), d.gaps);
            double thickness = 0.0;
            for (std::size_t i = 0; i < node.children.size(); ++i) {
              const Proposal offer =
                  Proposal::of(content.axis, d.offers[i], proposal.across(content.axis));
              thickness =
                  std::max(thickness, across(content.axis, sizeThatFits(node.children[i], offer)));
            }
            return content.axis == Axis::horizontal ? Size{length, thickness}
                                                    : Size{thickness, length};
          } else if constexpr (std::is_same_v<C, ZStackNode>) {
            Size size;
            for (NodeId child : node.children) {
              const Size s = sizeThatFits(child, proposal);
              size = {std::max(size.width, s.width), std::max(size.height, s.height)};
            }
            return size;
          } else if constexpr (std::is_same_v<C, SpacerNode>) {
            const auto grow = [&](std::optional<double> offer, bool grows) {
              return grows ? std::max(content.minLength, offer.value_or(0.0)) : 0.0;
            };
            // Along its stack it is at least its minimum length; across, nothing.
            if (!content.axis) {
              return {std::max(content.minLength, proposal.width.value_or(0.0)),
                      std::max(content.minLength, proposal.height.value_or(0.0))};
            }
            return {grow(proposal.width, *content.axis == Axis::horizontal),
                    grow(proposal.height, *content.axis == Axis::vertical)};
          } else if constexpr (std::is_same_v<C, TextNode>) {
            return textSize(fitText(content, proposal.width));
          } else if constexpr (std::is_same_v<C, LabelNode>) {
            const double side = content.title.style.font.size;
            const Size title =
                textSize(fitText(content.title, titleWidth(content, proposal.width)));
            return {side + labelGap(content) + title.width, std::max(side, title.height)};
          } else if constexpr (std::is_same_v<C, ImageNode>) {
            return {content.font.size, content.font.size};
          } else if constexpr (
              std::is_same_v<
                  C,
                  CircleNode> || std::is_same_v<C, FillNode> || std::is_same_v<C, GradientNode>) {
            return {proposal.width.value_or(kIdealShapeLength),
                    proposal.height.value_or(kIdealShapeLength)};
          } else if constexpr (std::is_same_v<C, FrameNode>) {
            const Proposal inner = frameProposal(content, proposal);
            const bool needsChild = !content.width || !content.height;
            const Size child = needsChild ? sizeThatFits(node.children[0], inner) : Size{};
            return {content.width.value_or(child.width), content.height.value_or(child.height)};
          } else if constexpr (std::is_same_v<C, BackgroundNode> || std::is_same_v<C, LinkNode>) {
            return sizeThatFits(node.children[0], proposal);
          }
        },
        node.content);
  }

  static Proposal frameProposal(const FrameNode& frame, Proposal outer) {
    return {frame.width ? frame.width : outer.width, frame.height ? frame.height : outer.height};
  }

  bool isSpacer(NodeId id) const {
    return std::holds_alternative<SpacerNode>(tree_.nodes[id].content);
  }
  bool expands(NodeId id, Axis axis) const {
    const LayoutNode& node = tree_.nodes[id];
    return axis == Axis::horizontal ? node.expandsHorizontally : node.expandsVertically;
  }

  /// How a stack shares its length among its children:
  /// 1. Take the gaps off the offered length.
  /// 2. Set aside the growing children's minimum lengths.
  /// 3. Serve the fixed children, smallest ideal first, each an equal share of
  ///    what is left.
  /// 4. Share the rest equally among the growing children, the ones with the
  ///    largest minimum first so that a minimum never eats another's share.
  Distribution distribute(const LayoutNode& node, const StackNode& stack, Proposal proposal) {
    const Axis axis = stack.axis;
    const std::size_t count = node.children.size();
    const std::optional<double> crossOffer = proposal.across(axis);
    Distribution d{std::vector<std::optional<double>>(count), std::vector<double>(count, 0.0), 0.0};
    for (std::size_t i = 1; i < count; ++i) {
      if (stack.spacing) {
        d.gaps += *stack.spacing;
      } else if (!isSpacer(node.children[i - 1]) && !isSpacer(node.children[i])) {
        d.gaps += kDefaultStackSpacing;
      }
    }
    const auto lengthFor = [&](std::size_t i, std::optional<double> offer) {
      d.offers[i] = offer;
      d.lengths[i] =
          along(axis, sizeThatFits(node.children[i], Proposal::of(axis, offer, crossOffer)));
      return d.lengths[i];
    };

    const std::optional<double> offered = proposal.along(axis);
    if (!offered) {
      for (std::size_t i = 0; i < count; ++i) {
        lengthFor(i, std::nullopt);
      }
      return d;
    }

    std::vector<std::size_t> fixed;
    std::vector<std::size_t> growing;
    std::vector<double> sortKey(count, 0.0);
    double reserved = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
      const NodeId child = node.children[i];
      if (expands(child, axis)) {
        growing.push_back(i);
        sortKey[i] = along(axis, sizeThatFits(child, Proposal::of(axis, 0.0, crossOffer)));
        reserved += sortKey[i];
      } else {
        fixed.push_back(i);
        sortKey[i] = along(axis, sizeThatFits(child, Proposal::of(axis, std::nullopt, crossOffer)));
      }
    }

    const double available = std::max(0.0, *offered - d.gaps);
    double remaining = available - reserved;
    std::stable_sort(fixed.begin(), fixed.end(),
                     [&](std::size_t a, std::size_t b) { return sortKey[a] < sortKey[b]; });
    for (std::size_t k = 0; k < fixed.size(); ++k) {
      const double share = std::max(0.0, remaining) / static_cast<double>(fixed.size() - k);
      remaining -= lengthFor(fixed[k], share);
    }

    remaining += reserved;
    std::stable_sort(growing.begin(), growing.end(),
                     [&](std::size_t a, std::size_t b) { return sortKey[a] > sortKey[b]; });
    for (std::size_t k = 0; k < growing.size(); ++k) {
      const double share = std::max(0.0, remaining) / static_cast<double>(growing.size() - k);
      remaining -= lengthFor(growing[k], share);
    }
    return d;
  }

  void placeStack(const LayoutNode& node, const StackNode& stack, const Rect& frame,
                  Proposal proposal) {
    const Axis axis = stack.axis;
    const Distribution d = distribute(node, stack, proposal);
    const std::optional<double> crossOffer = proposal.across(axis);
    double position = axis == Axis::horizontal ? frame.x : frame.y;
    for (std::size_t i = 0; i < node.children.size(); ++i) {
      const NodeId child = node.children[i];
      if (i > 0) {
        if (stack.spacing) {
          position += *stack.spacing;
        } else if (!isSpacer(node.children[i - 1]) && !isSpacer(child)) {
          position += kDefaultStackSpacing;
        }
      }
      const Proposal offer = Proposal::of(axis, d.offers[i], crossOffer);
      const Size size = sizeThatFits(child, offer);
      Point origin;
      if (axis == Axis::horizontal) {
        origin = {
            position,
            frame.y + (frame.height - size.height) * alignmentFactor(stack.alignment.vertical)};
      } else {
        origin = {
            frame.x + (frame.width - size.width) * alignmentFactor(stack.alignment.horizontal),
            position};
      }
      place(child, origin, offer);
      position += along(axis, size);
    }
  }

  static double labelGap(const LabelNode& label) {
    return label.title.style.font.size * kLabelGapRatio;
  }

  static std::optional<double> titleWidth(const LabelNode& label, std::optional<double> width) {
    if (!width) {
      return std::nullopt;
    }
    return std::max(0.0, *width - label.title.style.font.size - labelGap(label));
  }

  static Size textSize(const TextFit& fit) {
    return {fit.metrics.width * fit.scale, fit.metrics.lineHeight() * fit.scale};
  }

  const TextMetrics& measure(const std::string& text, const TextStyle& style) {
    MeasureKey key{text, style};
    auto found = measured_.find(key);
    if (found == measured_.end()) {
      const TextMetrics metrics = measurer_.measure(text, style);
      found = measured_.emplace(std::move(key), sanitized(metrics)).first;
    }
    return found->second;
  }

  static TextMetrics sanitized(TextMetrics metrics) {
    return {lengthOr(metrics.width, 0.0), lengthOr(metrics.ascent, 0.0),
            lengthOr(metrics.descent, 0.0)};
  }

  /// 1. The whole text when it fits (or nothing limits it).
  /// 2. Else the whole text shrunk to fit, when that keeps it at or above its
  ///    minimum scale factor.
  /// 3. Else, at the minimum scale, the longest start of the text that fits
  ///    with "…" after it (trailing spaces dropped), or nothing at all.
  TextFit fitText(const TextNode& node, std::optional<double> width) {
    const TextMetrics& full = measure(node.text, node.style);
    if (!width || full.width <= *width + kEpsilon) {
      return {node.text, 1.0, full};
    }
    const double minScale = node.minimumScaleFactor;
    if (full.width * minScale <= *width + kEpsilon) {
      return {node.text, *width / full.width, full};
    }
    const double limit = *width / minScale + kEpsilon;
    const std::vector<std::size_t> ends = characterEnds(node.text);
    const auto candidate = [&](std::size_t characters) {
      std::string text = node.text.substr(0, characters == 0 ? 0 : ends[characters - 1]);
      while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
      }
      text += "\u2026";
      return text;
    };
    // The widest count of characters whose candidate fits; the whole text does not.
    std::size_t low = 0;
    std::size_t high = ends.empty() ? 0 : ends.size() - 1;
    std::optional<std::string> best;
    while (low <= high) {
      const std::size_t middle = low + (high - low) / 2;
      std::string text = candidate(middle);
      if (measure(text, node.style).width <= limit) {
        best = std::move(text);
        low = middle + 1;
      } else if (middle == 0) {
        break;
      } else {
        high = middle - 1;
      }
    }
    std::string shown = best.value_or(std::string());
    const TextMetrics metrics = measure(shown, node.style);
    return {std::move(shown), minScale, metrics};
  }

  const LayoutTree& tree_;
  const TextMeasurer& measurer_;
  LayoutResults results_;
  std::vector<std::vector<std::pair<Proposal, Size>>> memo_;
  std::unordered_map<MeasureKey, TextMetrics, MeasureKeyHash> measured_;
  std::size_t evaluations_ = 0;
};

// --- Stage 3: draw commands ----------------------------------------------------

class CommandWriter {
 public:
  CommandWriter(const LayoutTree& tree, const LayoutResults& results, DrawList& out)
      : tree_(tree), results_(results), out_(out) {}

  void write(NodeId id) {
    const LayoutNode& node = tree_.nodes[id];
    const NodeLayout& layout = results_.nodes[id];
    const Rect& frame = layout.frame;
    std::visit(
        [&](const auto& content) {
          using C = std::decay_t<decltype(content)>;
          if constexpr (
              std::is_same_v<
                  C, StackNode> || std::is_same_v<C, ZStackNode> || std::is_same_v<C, FrameNode>) {
            for (NodeId child : node.children) {
              write(child);
            }
          } else if constexpr (std::is_same_v<C, BackgroundNode>) {
            write(node.children[1]);
            write(node.children[0]);
          } else if constexpr (std::is_same_v<C, LinkNode>) {
            write(node.children[0]);
            out_.commands.emplace_back(LinkRegion{frame, content.url});
          } else if constexpr (std::is_same_v<C, TextNode>) {
            if (layout.text) {
              text(content, *layout.text, {frame.x, frame.y});
            }
          } else if constexpr (std::is_same_v<C, LabelNode>) {
            const double side = content.title.style.font.size;
            out_.commands.emplace_back(
                DrawSymbol{Rect{frame.x, frame.y + (frame.height - side) / 2, side, side},
                           content.symbol, content.title.color, content.title.style.font.weight});
            if (layout.text) {
              const double height = layout.text->metrics.lineHeight() * layout.text->scale;
              text(content.title, *layout.text,
                   {frame.x + side + side * kLabelGapRatio, frame.y + (frame.height - height) / 2});
            }
          } else if constexpr (std::is_same_v<C, ImageNode>) {
            out_.commands.emplace_back(
                DrawSymbol{frame, content.symbol, content.color, content.font.weight});
          } else if constexpr (std::is_same_v<C, CircleNode>) {
            out_.commands.emplace_back(
                FillCircle{frame.center(), std::min(frame.width, frame.height) / 2, content.color});
          } else if constexpr (std::is_same_v<C, FillNode>) {
            out_.commands.emplace_back(FillRect{frame, 0.0, content.color});
          } else if constexpr (std::is_same_v<C, GradientNode>) {
            gradient(content.gradient, frame);
          }
        },
        node.content);
  }

 private:
  void text(const TextNode& node, const TextFit& fit, Point origin) {
    if (fit.text.empty()) {
      return;
    }
    const Rect box{origin.x, origin.y, fit.metrics.width * fit.scale,
                   fit.metrics.lineHeight() * fit.scale};
    out_.commands.emplace_back(DrawText{box, origin.y + fit.metrics.ascent * fit.scale, fit.text,
                                        node.style, node.color, fit.scale});
  }

  void gradient(const ui::RadialGradient& gradient, const Rect& frame) {
    FillRadialGradient fill{
        frame,
        {frame.x + gradient.center.x * frame.width, frame.y + gradient.center.y * frame.height},
        gradient.startRadius,
        gradient.endRadius,
        {}};
    fill.stops.reserve(gradient.gradient.colors.size());
    for (std::size_t i = 0; i < gradient.gradient.colors.size(); ++i) {
      fill.stops.push_back({gradient.gradient.location(i), gradient.gradient.colors[i]});
    }
    out_.commands.emplace_back(std::move(fill));
  }

  const LayoutTree& tree_;
  const LayoutResults& results_;
  DrawList& out_;
};

bool validCanvas(const WidgetCanvas& canvas) {
  const auto valid = [](double value) {
    return std::isfinite(value) && value >= 0 && value <= kMaxLength;
  };
  return valid(canvas.size.width) && valid(canvas.size.height) && canvas.size.width > 0
         && canvas.size.height > 0 && valid(canvas.contentMargin) && valid(canvas.cornerRadius);
}

}  // namespace

Expected<LayoutTree, LayoutError> buildLayoutTree(const ui::View& view, Date instant) {
  return TreeBuilder(instant).build(view);
}

Expected<LayoutResults, LayoutError> computeLayout(const LayoutTree& tree,
                                                   const WidgetCanvas& canvas,
                                                   const TextMeasurer& measurer) {
  if (!validCanvas(canvas)) {
    return Unexpected(error(LayoutError::Code::invalidCanvas,
                            "the widget's size, margin or corner radius is not a valid length"));
  }
  LayoutEngine engine(tree, measurer);
  const Rect widget{0, 0, canvas.size.width, canvas.size.height};
  const double margin = std::min({canvas.contentMargin, widget.width / 2, widget.height / 2});
  const Rect content{margin, margin, widget.width - 2 * margin, widget.height - 2 * margin};

  if (tree.containerBackground) {
    const Proposal whole{widget.width, widget.height};
    const Size size = engine.sizeThatFits(*tree.containerBackground, whole);
    engine.place(*tree.containerBackground,
                 aligned(widget, size, tree.containerBackgroundAlignment), whole);
  }
  const Proposal inner{content.width, content.height};
  engine.place(tree.root,
               aligned(content, engine.sizeThatFits(tree.root, inner), ui::Alignment::center),
               inner);
  if (engine.exhausted()) {
    return Unexpected(
        error(LayoutError::Code::tooLarge, "the view tree needs more layout work than allowed"));
  }
  LayoutResults results = std::move(engine.results());
  results.widget = widget;
  results.content = content;
  results.cornerRadius = std::min({canvas.cornerRadius, widget.width / 2, widget.height / 2});
  return results;
}

DrawList drawCommands(const LayoutTree& tree, const LayoutResults& results) {
  DrawList list{results.widget.size(), {}};
  list.commands.reserve(tree.nodes.size() + 2);
  list.commands.emplace_back(PushClip{results.widget, results.cornerRadius});
  CommandWriter writer(tree, results, list);
  if (tree.containerBackground) {
    writer.write(*tree.containerBackground);
  }
  writer.write(tree.root);
  list.commands.emplace_back(PopClip{});
  return list;
}

Expected<DrawList, LayoutError> layoutWidget(const ui::View& view, const WidgetCanvas& canvas,
                                             const TextMeasurer& measurer) {
  auto tree = buildLayoutTree(view, canvas.instant);
  if (!tree) {
    return Unexpected(tree.error());
  }
  auto results = computeLayout(*tree, canvas, measurer);
  if (!results) {
    return Unexpected(results.error());
  }
  return drawCommands(*tree, *results);
}

}  // namespace velto::host::layout
