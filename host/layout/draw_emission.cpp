// Stage 3 of the layout: the laid-out tree as a flat list of draw commands.

#include <algorithm>
#include <variant>

#include "host/layout/internal/emission.hpp"
#include "host/layout/internal/one_of.hpp"
#include "host/layout/layout.hpp"
#include "platform/foundation/overloaded.hpp"

namespace velto::host::layout {

namespace ui = platform::ui;
using platform::foundation::overloaded;

namespace internal {

namespace {

class CommandWriter {
 public:
  CommandWriter(const LayoutTree& tree, const LayoutResults& results, DrawList& out,
                std::vector<TextCommandRef>* texts)
      : tree_(tree), results_(results), out_(out), texts_(texts) {}

  void write(NodeId id) {
    const LayoutNode& node = tree_.nodes[id];
    const NodeLayout& layout = results_.nodes[id];
    const Rect& frame = layout.frame;
    std::visit(overloaded{
                   [&](const OneOf<StackNode, ZStackNode, FrameNode> auto&) {
                     for (NodeId child : node.children) {
                       write(child);
                     }
                   },
                   [&](const BackgroundNode&) {
                     write(node.children[1]);
                     write(node.children[0]);
                   },
                   [&](const LinkNode& link) {
                     write(node.children[0]);
                     out_.commands.emplace_back(LinkRegion{frame, link.url});
                   },
                   [&](const TextNode& text) { line(id, text, layout); },
                   [&](const LabelNode& label) {
                     out_.commands.emplace_back(DrawSymbol{layout.symbolBox, label.symbol,
                                                           label.title.color,
                                                           label.title.style.font.weight});
                     line(id, label.title, layout);
                   },
                   [&](const ImageNode& image) {
                     out_.commands.emplace_back(
                         DrawSymbol{frame, image.symbol, image.color, image.font.weight});
                   },
                   [&](const CircleNode& circle) {
                     out_.commands.emplace_back(FillCircle{
                         frame.center(), std::min(frame.width, frame.height) / 2, circle.color});
                   },
                   [&](const FillNode& fill) {
                     out_.commands.emplace_back(FillRect{frame, 0.0, fill.color});
                   },
                   [&](const GradientNode& gradient) { this->gradient(gradient.gradient, frame); },
                   [&](const SpacerNode&) {},
               },
               node.content);
  }

 private:
  void line(NodeId id, const TextNode& node, const NodeLayout& layout) {
    if (!layout.text) {
      return;
    }
    if (auto command = textCommand(node, *layout.text, layout.textBox)) {
      if (texts_ != nullptr) {
        texts_->push_back({id, out_.commands.size()});
      }
      out_.commands.emplace_back(std::move(*command));
    }
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
  std::vector<TextCommandRef>* texts_;
};

}  // namespace

std::optional<DrawText> textCommand(const TextNode& node, const TextFit& fit, const Rect& box) {
  if (fit.text.empty()) {
    return std::nullopt;
  }
  return DrawText{box, fit.text, node.style, node.color, fit.scale, node.timer.has_value()};
}

DrawList emitCommands(const LayoutTree& tree, const LayoutResults& results,
                      std::vector<TextCommandRef>* texts) {
  DrawList list{results.widget.size(), {}};
  list.commands.reserve(tree.nodes.size() + 2);
  list.commands.emplace_back(PushClip{results.widget, results.cornerRadius});
  CommandWriter writer(tree, results, list, texts);
  if (tree.containerBackground) {
    writer.write(*tree.containerBackground);
  }
  writer.write(tree.root);
  list.commands.emplace_back(PopClip{});
  return list;
}

}  // namespace internal

DrawList drawCommands(const LayoutTree& tree, const LayoutResults& results) {
  return internal::emitCommands(tree, results, nullptr);
}

}  // namespace velto::host::layout
