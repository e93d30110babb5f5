#include "host/layout/laid_out_widget.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

#include "host/layout/text_fitting.hpp"
#include "host/layout/timer_text.hpp"

namespace velto::host::layout {

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;

namespace {

// Lines that measure this close alike keep their box; the difference is far
// below a pixel at any scale a widget is drawn at.
constexpr double kSameLength = 1e-6;

bool sameSize(Size a, Size b) {
  return std::abs(a.width - b.width) <= kSameLength && std::abs(a.height - b.height) <= kSameLength;
}

/// The text of a text node or a label's title; null for other nodes.
template <class Node>  // LayoutNode or const LayoutNode
auto* textOf(Node& node) {
  using Text = std::conditional_t<std::is_const_v<Node>, const TextNode, TextNode>;
  if (auto* text = std::get_if<TextNode>(&node.content)) {
    return static_cast<Text*>(text);
  }
  if (auto* label = std::get_if<LabelNode>(&node.content)) {
    return static_cast<Text*>(&label->title);
  }
  return static_cast<Text*>(nullptr);
}

}  // namespace

Expected<LaidOutWidget, LayoutError> LaidOutWidget::make(const platform::ui::View& view,
                                                         const WidgetCanvas& canvas,
                                                         const TextMeasurer& measurer) {
  auto tree = buildLayoutTree(view, canvas.instant);
  if (!tree) {
    return Unexpected(std::move(tree).error());
  }
  auto results = computeLayout(*tree, canvas, measurer);
  if (!results) {
    return Unexpected(std::move(results).error());
  }
  LaidOutWidget widget(std::move(*tree), canvas);
  widget.results_ = std::move(*results);
  widget.list_ = internal::emitCommands(widget.tree_, widget.results_, &widget.texts_);
  for (NodeId id = 0; id < widget.tree_.nodes.size(); ++id) {
    const TextNode* text = textOf(widget.tree_.nodes[id]);
    if (text != nullptr && text->timer) {
      widget.timers_.push_back(id);
      widget.hasLiveTimer_ = widget.hasLiveTimer_ || text->timer->anchor.has_value();
    }
  }
  return widget;
}

std::vector<LinkRegion> LaidOutWidget::links() const {
  std::vector<LinkRegion> links;
  for (const DrawCommand& command : list_.commands) {
    if (const auto* link = std::get_if<LinkRegion>(&command)) {
      links.push_back(*link);
    }
  }
  return links;
}

TextNode& LaidOutWidget::timerText(NodeId id) {
  // Only text and label nodes are noted as timers.
  return *textOf(tree_.nodes[id]);
}

std::vector<Rect> LaidOutWidget::advanceTimers(Date instant, const TextMeasurer& measurer) {
  canvas_.instant = instant;
  // 1. Re-make every timer's text; most ticks change one of them.
  std::vector<NodeId> changed;
  for (const NodeId id : timers_) {
    TextNode& text = timerText(id);
    std::string now = timerClockText(text.timer->anchor, instant);
    if (now != text.text) {
      text.text = std::move(now);
      changed.push_back(id);
    }
  }
  // 2. Fit each changed text into the width it had; one that no longer keeps
  //    its size moves its neighbours, so the widget is laid out anew.
  MeasureCache cache(measurer);
  std::vector<std::pair<NodeId, TextFit>> fits;
  for (const NodeId id : changed) {
    const TextNode& text = timerText(id);
    const NodeLayout& layout = results_.nodes[id];
    TextFit fit = fitText(text.text, text.style, text.minimumScaleFactor, layout.textOffer, cache);
    const bool drawn =
        std::any_of(texts_.begin(), texts_.end(),
                    [&](const internal::TextCommandRef& ref) { return ref.node == id; });
    if (!layout.text || !drawn || fit.text.empty() || !sameSize(fit.size(), layout.text->size())) {
      if (relayout(measurer)) {
        return {results_.widget};
      }
      return {};
    }
    fits.emplace_back(id, std::move(fit));
  }
  // 3. Swap the new lines into their commands, in their old boxes.
  std::vector<Rect> dirty;
  for (auto& [id, fit] : fits) {
    NodeLayout& layout = results_.nodes[id];
    layout.text = std::move(fit);
    for (const internal::TextCommandRef& ref : texts_) {
      if (ref.node == id) {
        list_.commands[ref.command] =
            *internal::textCommand(timerText(id), *layout.text, layout.textBox);
      }
    }
    dirty.push_back(layout.textBox);
  }
  return dirty;
}

bool LaidOutWidget::relayout(const TextMeasurer& measurer) {
  auto results = computeLayout(tree_, canvas_, measurer);
  if (!results) {
    return false;
  }
  results_ = std::move(*results);
  texts_.clear();
  list_ = internal::emitCommands(tree_, results_, &texts_);
  ++layoutCount_;
  return true;
}

}  // namespace velto::host::layout
