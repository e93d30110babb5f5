#include "host/layout/redaction.hpp"

#include <variant>

namespace velto::host::layout {
namespace {

/// How much of a text's line box its bar covers, and how strong its colour stays.
constexpr double kBarHeightRatio = 0.6;
constexpr double kBarOpacity = 0.3;

}  // namespace

DrawList redacted(const DrawList& list) {
  DrawList out{list.size, {}};
  out.commands.reserve(list.commands.size());
  for (const auto& command : list.commands) {
    const auto* text = std::get_if<DrawText>(&command);
    if (text == nullptr) {
      out.commands.push_back(command);
      continue;
    }
    if (text->text.empty() || text->box.width <= 0 || text->box.height <= 0) {
      continue;
    }
    const double height = text->box.height * kBarHeightRatio;
    const Rect bar{text->box.x, text->box.y + (text->box.height - height) / 2, text->box.width,
                   height};
    out.commands.emplace_back(FillRect{bar, height / 2, text->color.opacity(kBarOpacity)});
  }
  return out;
}

}  // namespace velto::host::layout
