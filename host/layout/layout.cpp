#include "host/layout/layout.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

#include "host/layout/internal/layout_engine.hpp"

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

bool validCanvas(const WidgetCanvas& canvas) {
  const auto valid = [](double value) {
    return std::isfinite(value) && value >= 0 && value <= kMaxLength;
  };
  return valid(canvas.size.width) && valid(canvas.size.height) && canvas.size.width > 0
         && canvas.size.height > 0 && valid(canvas.contentMargin) && valid(canvas.cornerRadius);
}

}  // namespace

Expected<LayoutResults, LayoutError> computeLayout(const LayoutTree& tree,
                                                   const WidgetCanvas& canvas,
                                                   const TextMeasurer& measurer) {
  using internal::aligned;
  using internal::Proposal;
  if (!validCanvas(canvas)) {
    return Unexpected(
        LayoutError{LayoutError::Code::invalidCanvas,
                    "the widget's size, margin or corner radius is not a valid length"});
  }
  internal::LayoutEngine engine(tree, measurer);
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
    return Unexpected(LayoutError{LayoutError::Code::tooLarge,
                                  "the view tree needs more layout work than allowed"});
  }
  LayoutResults results = std::move(engine.results());
  results.widget = widget;
  results.cornerRadius = std::min({canvas.cornerRadius, widget.width / 2, widget.height / 2});
  return results;
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
