#include "host/backends/gtk/frame_changes.hpp"

#include <algorithm>
#include <variant>

#include "platform/foundation/overloaded.hpp"

namespace velto::host::gtk {
namespace {

/// How much of a text's line box its bar covers, and how strong its colour stays.
constexpr double kBarHeightRatio = 0.6;
constexpr double kBarOpacity = 0.3;

}  // namespace

layout::Rect commandBox(const layout::DrawCommand& command) {
  return std::visit(platform::foundation::overloaded{
                        [](const layout::PushClip& clip) { return clip.rect; },
                        [](const layout::PopClip&) { return layout::Rect{}; },
                        [](const layout::FillRect& fill) { return fill.rect; },
                        [](const layout::FillCircle& circle) {
                          return layout::Rect{circle.center.x - circle.radius,
                                              circle.center.y - circle.radius, 2 * circle.radius,
                                              2 * circle.radius};
                        },
                        [](const layout::FillRadialGradient& gradient) { return gradient.rect; },
                        [](const layout::DrawText& text) { return text.box; },
                        [](const layout::DrawSymbol& symbol) { return symbol.box; },
                        [](const layout::LinkRegion& link) { return link.rect; },
                    },
                    command);
}

std::optional<std::vector<layout::Rect>> changedBoxes(const layout::DrawList& before,
                                                      const layout::DrawList& after) {
  if (before.size != after.size || before.commands.size() != after.commands.size()) {
    return std::nullopt;
  }
  std::vector<layout::Rect> boxes;
  for (std::size_t i = 0; i < before.commands.size(); ++i) {
    const auto& old = before.commands[i];
    const auto& now = after.commands[i];
    if (old.index() != now.index()) {
      return std::nullopt;
    }
    if (old == now) {
      continue;
    }
    // A clip or a background that moves reshapes everything drawn after it.
    if (std::holds_alternative<layout::PushClip>(old)) {
      return std::nullopt;
    }
    boxes.push_back(commandBox(old));
    if (commandBox(now) != boxes.back()) {
      boxes.push_back(commandBox(now));
    }
  }
  return boxes;
}

std::optional<layout::Rect> unite(const std::vector<layout::Rect>& boxes) {
  if (boxes.empty()) {
    return std::nullopt;
  }
  double left = boxes.front().x;
  double top = boxes.front().y;
  double right = boxes.front().maxX();
  double bottom = boxes.front().maxY();
  for (const auto& box : boxes) {
    left = std::min(left, box.x);
    top = std::min(top, box.y);
    right = std::max(right, box.maxX());
    bottom = std::max(bottom, box.maxY());
  }
  return layout::Rect{left, top, right - left, bottom - top};
}

layout::DrawList redacted(const layout::DrawList& list) {
  layout::DrawList out{list.size, {}};
  out.commands.reserve(list.commands.size());
  for (const auto& command : list.commands) {
    const auto* text = std::get_if<layout::DrawText>(&command);
    if (text == nullptr) {
      out.commands.push_back(command);
      continue;
    }
    if (text->text.empty() || text->box.width <= 0 || text->box.height <= 0) {
      continue;
    }
    const double height = text->box.height * kBarHeightRatio;
    const layout::Rect bar{text->box.x, text->box.y + (text->box.height - height) / 2,
                           text->box.width, height};
    out.commands.emplace_back(layout::FillRect{bar, height / 2, text->color.opacity(kBarOpacity)});
  }
  return out;
}

}  // namespace velto::host::gtk
