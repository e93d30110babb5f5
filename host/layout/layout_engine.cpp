#include "host/layout/internal/layout_engine.hpp"

#include <algorithm>
#include <numeric>
#include <variant>

#include "host/layout/internal/label_geometry.hpp"
#include "host/layout/internal/one_of.hpp"
#include "host/layout/layout.hpp"
#include "platform/foundation/overloaded.hpp"

namespace velto::host::layout::internal {

namespace ui = platform::ui;
using platform::foundation::overloaded;

namespace {

// Bounds the work of measuring a pathological tree; a real widget needs a few hundred.
constexpr std::size_t kMaxEvaluations = 200'000;

double along(Axis axis, Size size) {
  return axis == Axis::horizontal ? size.width : size.height;
}
double across(Axis axis, Size size) {
  return axis == Axis::horizontal ? size.height : size.width;
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

Proposal frameProposal(const FrameNode& frame, Proposal outer) {
  return {frame.width ? frame.width : outer.width, frame.height ? frame.height : outer.height};
}

}  // namespace

Point aligned(const Rect& outer, Size inner, ui::Alignment alignment) {
  return {outer.x + (outer.width - inner.width) * alignmentFactor(alignment.horizontal),
          outer.y + (outer.height - inner.height) * alignmentFactor(alignment.vertical)};
}

LayoutEngine::LayoutEngine(const LayoutTree& tree, const TextMeasurer& measurer)
    : tree_(tree), cache_(measurer), memo_(tree.nodes.size()) {
  results_.nodes.resize(tree.nodes.size());
}

bool LayoutEngine::exhausted() const {
  return evaluations_ > kMaxEvaluations;
}

Size LayoutEngine::sizeThatFits(NodeId id, Proposal proposal) {
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

void LayoutEngine::place(NodeId id, Point origin, Proposal proposal) {
  if (exhausted()) {
    return;
  }
  const Size size = sizeThatFits(id, proposal);
  const Rect frame{origin.x, origin.y, size.width, size.height};
  NodeLayout& result = results_.nodes[id];
  result.frame = frame;
  const LayoutNode& node = tree_.nodes[id];
  std::visit(
      overloaded{
          [&](const StackNode& stack) { placeStack(node, stack, frame, proposal); },
          [&](const ZStackNode& zstack) {
            for (NodeId child : node.children) {
              place(child, aligned(frame, sizeThatFits(child, proposal), zstack.alignment),
                    proposal);
            }
          },
          [&](const TextNode& text) {
            result.textOffer = proposal.width;
            result.text = fit(text, result.textOffer);
            result.textBox =
                Rect{frame.x, frame.y, result.text->size().width, result.text->size().height};
          },
          [&](const LabelNode& label) {
            const double side = label.title.style.font.size;
            result.textOffer = labelTitleOffer(side, proposal.width);
            result.text = fit(label.title, result.textOffer);
            const LabelBoxes boxes = labelBoxes(side, frame, result.text->size());
            result.symbolBox = boxes.symbol;
            result.textBox = boxes.title;
          },
          [&](const FrameNode& content) {
            const Proposal inner = frameProposal(content, proposal);
            place(node.children[0],
                  aligned(frame, sizeThatFits(node.children[0], inner), content.alignment), inner);
          },
          [&](const BackgroundNode& background) {
            place(node.children[0], origin, proposal);
            const Proposal exact{size.width, size.height};
            place(node.children[1],
                  aligned(frame, sizeThatFits(node.children[1], exact), background.alignment),
                  exact);
          },
          [&](const LinkNode&) { place(node.children[0], origin, proposal); },
          [&](const OneOf<SpacerNode, ImageNode, CircleNode, FillNode, GradientNode> auto&) {},
      },
      node.content);
}

Size LayoutEngine::computeSize(NodeId id, Proposal proposal) {
  const LayoutNode& node = tree_.nodes[id];
  return std::visit(
      overloaded{
          [&](const StackNode& stack) -> Size {
            const StackDistribution d = distribute(node, stack, proposal);
            const double length =
                std::accumulate(d.lengths.begin(), d.lengths.end(),
                                std::accumulate(stack.gaps.begin(), stack.gaps.end(), 0.0));
            double thickness = 0.0;
            for (std::size_t i = 0; i < node.children.size(); ++i) {
              const Proposal offer =
                  Proposal::of(stack.axis, d.offers[i], proposal.across(stack.axis));
              thickness =
                  std::max(thickness, across(stack.axis, sizeThatFits(node.children[i], offer)));
            }
            return stack.axis == Axis::horizontal ? Size{length, thickness}
                                                  : Size{thickness, length};
          },
          [&](const ZStackNode&) {
            Size size;
            for (NodeId child : node.children) {
              const Size s = sizeThatFits(child, proposal);
              size = {std::max(size.width, s.width), std::max(size.height, s.height)};
            }
            return size;
          },
          [&](const SpacerNode& spacer) -> Size {
            // Along its stack it is at least its minimum length; across, nothing.
            const auto grow = [&](std::optional<double> offer, bool grows) {
              return grows ? std::max(spacer.minLength, offer.value_or(0.0)) : 0.0;
            };
            if (!spacer.axis) {
              return {std::max(spacer.minLength, proposal.width.value_or(0.0)),
                      std::max(spacer.minLength, proposal.height.value_or(0.0))};
            }
            return {grow(proposal.width, *spacer.axis == Axis::horizontal),
                    grow(proposal.height, *spacer.axis == Axis::vertical)};
          },
          [&](const TextNode& text) { return fit(text, proposal.width).size(); },
          [&](const LabelNode& label) {
            const double side = label.title.style.font.size;
            return labelSize(side, fit(label.title, labelTitleOffer(side, proposal.width)).size());
          },
          [&](const ImageNode& image) {
            return Size{image.font.size, image.font.size};
          },
          [&](const OneOf<CircleNode, FillNode, GradientNode> auto&) {
            return Size{proposal.width.value_or(kIdealShapeLength),
                        proposal.height.value_or(kIdealShapeLength)};
          },
          [&](const FrameNode& frame) {
            const Proposal inner = frameProposal(frame, proposal);
            const bool needsChild = !frame.width || !frame.height;
            const Size child = needsChild ? sizeThatFits(node.children[0], inner) : Size{};
            return Size{frame.width.value_or(child.width), frame.height.value_or(child.height)};
          },
          [&](const OneOf<BackgroundNode, LinkNode> auto&) {
            return sizeThatFits(node.children[0], proposal);
          },
      },
      node.content);
}

StackDistribution LayoutEngine::distribute(const LayoutNode& node, const StackNode& stack,
                                           Proposal proposal) {
  const Axis axis = stack.axis;
  const std::optional<double> crossOffer = proposal.across(axis);
  std::vector<bool> grows(node.children.size());
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    const LayoutNode& child = tree_.nodes[node.children[i]];
    grows[i] = axis == Axis::horizontal ? child.expandsHorizontally : child.expandsVertically;
  }
  return distributeStack(
      grows, proposal.along(axis), std::accumulate(stack.gaps.begin(), stack.gaps.end(), 0.0),
      [&](std::size_t i, std::optional<double> offer) {
        return along(axis, sizeThatFits(node.children[i], Proposal::of(axis, offer, crossOffer)));
      });
}

void LayoutEngine::placeStack(const LayoutNode& node, const StackNode& stack, const Rect& frame,
                              Proposal proposal) {
  const Axis axis = stack.axis;
  const StackDistribution d = distribute(node, stack, proposal);
  const std::optional<double> crossOffer = proposal.across(axis);
  double position = axis == Axis::horizontal ? frame.x : frame.y;
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    const NodeId child = node.children[i];
    position += stack.gaps[i];
    const Proposal offer = Proposal::of(axis, d.offers[i], crossOffer);
    const Size size = sizeThatFits(child, offer);
    Point origin;
    if (axis == Axis::horizontal) {
      origin = {position,
                frame.y + (frame.height - size.height) * alignmentFactor(stack.alignment.vertical)};
    } else {
      origin = {frame.x + (frame.width - size.width) * alignmentFactor(stack.alignment.horizontal),
                position};
    }
    place(child, origin, offer);
    position += along(axis, size);
  }
}

TextFit LayoutEngine::fit(const TextNode& node, std::optional<double> width) {
  return fitText(node.text, node.style, node.minimumScaleFactor, width, cache_);
}

}  // namespace velto::host::layout::internal
