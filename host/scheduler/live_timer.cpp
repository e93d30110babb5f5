#include "host/scheduler/live_timer.hpp"

#include <algorithm>
#include <variant>

namespace velto::host {

namespace ui = platform::ui;

namespace {

bool isLiveTimer(const ui::Text& text) {
  const auto* timer = std::get_if<ui::Text::Timer>(&text.content);
  return timer != nullptr && timer->anchor.has_value();
}

bool holds(const ui::Box<ui::View>& box) {
  return !box.valuelessAfterMove() && holdsLiveTimer(*box);
}

bool anyHolds(const std::vector<ui::View>& views) {
  return std::any_of(views.begin(), views.end(),
                     [](const ui::View& v) { return holdsLiveTimer(v); });
}

// One overload per alternative, so a new element or modifier fails to compile
// here until someone decides whether it can carry a timer.
struct ElementHolds {
  bool operator()(const ui::VStack& e) const { return anyHolds(e.children); }
  bool operator()(const ui::HStack& e) const { return anyHolds(e.children); }
  bool operator()(const ui::ZStack& e) const { return anyHolds(e.children); }
  bool operator()(const ui::Spacer&) const { return false; }
  bool operator()(const ui::Text& e) const { return isLiveTimer(e); }
  bool operator()(const ui::Label& e) const { return isLiveTimer(e.title); }
  bool operator()(const ui::Image&) const { return false; }
  bool operator()(const ui::Circle&) const { return false; }
  bool operator()(const ui::Link& e) const { return holds(e.label); }
  bool operator()(const ui::Color&) const { return false; }
  bool operator()(const ui::RadialGradient&) const { return false; }
};

struct ModifierHolds {
  bool operator()(const ui::FontModifier&) const { return false; }
  bool operator()(const ui::TrackingModifier&) const { return false; }
  bool operator()(const ui::LineLimitModifier&) const { return false; }
  bool operator()(const ui::MinimumScaleFactorModifier&) const { return false; }
  bool operator()(const ui::MonospacedDigitModifier&) const { return false; }
  bool operator()(const ui::ForegroundStyleModifier&) const { return false; }
  bool operator()(const ui::FrameModifier&) const { return false; }
  bool operator()(const ui::BackgroundModifier& m) const { return holds(m.content); }
  bool operator()(const ui::ContainerBackgroundModifier& m) const { return holds(m.content); }
};

}  // namespace

bool holdsLiveTimer(const ui::View& view) {
  return std::visit(ElementHolds{}, view.element)
         || std::any_of(view.modifiers.begin(), view.modifiers.end(),
                        [](const ui::Modifier& m) { return std::visit(ModifierHolds{}, m); });
}

}  // namespace velto::host
