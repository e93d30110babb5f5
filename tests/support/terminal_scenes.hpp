#pragma once

// For tests: the widget's tree for one timer state, built from the view
// vocabulary the way the extension describes it (header, project line,
// readout, footer with the day's total and, unless stopped, two link buttons),
// container background included.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/date.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/url.hpp"
#include "platform/ui/view.hpp"

namespace velto::host::terminal::testing {

enum class TimerState { stopped, running, paused };

struct SceneSetup {
  TimerState state = TimerState::stopped;
  std::optional<std::string> project;
  /// The fixed readout, or the live one's anchor when running.
  std::string readout = "00:00:00";
  platform::foundation::Date anchor;
  std::string total = "0m";
  double readoutSize = 24;
};

inline platform::ui::View button(const char* url, const char* symbol) {
  using namespace platform::ui;
  return View(Link(*URL::fromString(url), Image::systemName(symbol))
                  .frame(24, 24, Alignment::center)
                  .background(Circle().fill(Color::primary().opacity(0.09)), Alignment::center));
}

inline platform::ui::View widgetTree(const SceneSetup& setup) {
  using namespace platform::ui;
  using Weight = Font::Weight;
  using Design = Font::Design;
  const bool running = setup.state == TimerState::running;
  std::vector<View> footer{Label(Text::verbatim(setup.total), "sun.max")
                               .font(Font::system(10, Weight::semibold, Design::rounded))
                               .foregroundStyle(HierarchicalShapeStyle::secondary),
                           Spacer()};
  if (setup.state != TimerState::stopped) {
    footer.push_back(button("velto://toggle", running ? "pause.fill" : "play.fill"));
    footer.push_back(button("velto://stop", "stop.fill"));
  }
  const Text readout = running ? Text::timer(setup.anchor) : Text::verbatim(setup.readout);
  View content =
      VStack(HorizontalAlignment::leading, 0,
             {
                 HStack(VerticalAlignment::center, std::nullopt,
                        {Label(Text::key("VELTO"), "hourglass")
                             .font(Font::system(10, Weight::black, Design::rounded))
                             .tracking(1.1),
                         Spacer(),
                         Circle()
                             .fill(running ? Color::green() : Color::secondary().opacity(0.45))
                             .frame(6, 6, Alignment::center)}),
                 Spacer(),
                 Text::verbatim(setup.project.value_or("Ready to focus"))
                     .font(Font::system(13, Weight::bold, Design::rounded))
                     .lineLimit(1)
                     .foregroundStyle(HierarchicalShapeStyle::secondary),
                 readout.monospacedDigit()
                     .font(Font::system(setup.readoutSize, Weight::bold, Design::monospaced))
                     .minimumScaleFactor(0.75)
                     .lineLimit(1),
                 Spacer(),
                 HStack(VerticalAlignment::center, std::nullopt, std::move(footer)),
             });
  return std::move(content).containerBackground(
      ContainerBackgroundPlacement::widget, Alignment::center,
      ZStack(Alignment::center,
             {Color::windowBackground(),
              RadialGradient(Gradient({Color::orange().opacity(0.22), Color::clear()}),
                             UnitPoint::topTrailing, 0, 240)}));
}

}  // namespace velto::host::terminal::testing
