#include "extension/view/velto_widget_view.hpp"

#include <string>

#include "extension/format/duration_text.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/url.hpp"

namespace velto::view {

using namespace platform::ui;
using model::SharedTimerSnapshot;
using platform::widgets::WidgetFamily;
using State = SharedTimerSnapshot::State;

namespace {

constexpr const char* kNoProjectText = "Ready to focus";
constexpr const char* kToggleLink = "velto://toggle";
constexpr const char* kStopLink = "velto://stop";

View controlButton(const char* destination, std::string symbol) {
  // Both links are fixed and well formed, so parsing cannot fail.
  return Link(*URL::fromString(destination), Image::systemName(std::move(symbol)))
      .frame(24, 24, Alignment::center)
      .background(Circle().fill(Color::primary().opacity(0.09)), Alignment::center);
}

}  // namespace

double veltoDayTotal(const timeline::VeltoWidgetEntry& entry) {
  double extra = 0.0;
  if (entry.snapshot.state == State::running) {
    const double sinceUpdate = entry.date.timeIntervalSince(entry.snapshot.updatedAt);
    if (sinceUpdate >= 0.0) {
      extra = sinceUpdate;
    }
  }
  return entry.snapshot.todaySeconds + extra;
}

View VeltoWidgetView::timerText() const {
  const SharedTimerSnapshot& snapshot = entry.snapshot;
  if (snapshot.state == State::running) {
    const auto anchor = snapshot.updatedAt.addingTimeInterval(-snapshot.elapsedSeconds);
    return Text::timer(anchor).monospacedDigit();
  }
  return Text::verbatim(format::veltoClockText(snapshot.elapsedSeconds)).monospacedDigit();
}

View VeltoWidgetView::standardView() const {
  const SharedTimerSnapshot& snapshot = entry.snapshot;
  const bool running = snapshot.state == State::running;
  const double readoutSize = family() == WidgetFamily::systemSmall ? 24 : 30;

  View header = HStack(VerticalAlignment::center, std::nullopt,
                       {
                           Label(Text::key("VELTO"), "hourglass")
                               .font(Font::system(10, Font::Weight::black, Font::Design::rounded))
                               .tracking(1.1),
                           Spacer(),
                           Circle()
                               .fill(running ? Color::green() : Color::secondary().opacity(0.45))
                               .frame(6, 6, Alignment::center),
                       });

  View projectLine = Text::verbatim(snapshot.projectName.value_or(kNoProjectText))
                         .font(Font::system(13, Font::Weight::bold, Font::Design::rounded))
                         .lineLimit(1)
                         .foregroundStyle(HierarchicalShapeStyle::secondary);

  View readout = timerText()
                     .font(Font::system(readoutSize, Font::Weight::bold, Font::Design::monospaced))
                     .minimumScaleFactor(0.75)
                     .lineLimit(1);

  std::vector<View> footerItems{
      Label(Text::verbatim(format::veltoCompactText(veltoDayTotal(entry))), "sun.max")
          .font(Font::system(10, Font::Weight::semibold, Font::Design::rounded))
          .foregroundStyle(HierarchicalShapeStyle::secondary),
      Spacer(),
  };
  if (snapshot.state != State::stopped) {
    footerItems.push_back(
        controlButton(kToggleLink, snapshot.state == State::paused ? "play.fill" : "pause.fill"));
    footerItems.push_back(controlButton(kStopLink, "stop.fill"));
  }
  View footer = HStack(VerticalAlignment::center, std::nullopt, std::move(footerItems));

  return VStack(HorizontalAlignment::leading, 0,
                {
                    std::move(header),
                    Spacer(),
                    std::move(projectLine),
                    std::move(readout),
                    Spacer(),
                    std::move(footer),
                });
}

}  // namespace velto::view
