#include "extension/widget/velto_timer_widget.hpp"

#include "extension/timeline/velto_widget_provider.hpp"
#include "extension/view/velto_widget_view.hpp"
#include "platform/ui/elements.hpp"

namespace velto::widget {

using namespace platform::ui;
using platform::widgets::StaticConfiguration;
using platform::widgets::WidgetFamily;

View veltoWidgetBackground() {
  return ZStack(Alignment::center,
                {
                    Color::windowBackground(),
                    RadialGradient(Gradient({Color::orange().opacity(0.22), Color::clear()}),
                                   UnitPoint::topTrailing, 0, 240),
                });
}

platform::widgets::WidgetConfiguration VeltoTimerWidget::body() const {
  auto content = [](const timeline::VeltoWidgetEntry& entry) {
    return view::VeltoWidgetView(entry).body().containerBackground(
        ContainerBackgroundPlacement::widget, Alignment::center, veltoWidgetBackground());
  };
  return StaticConfiguration(kind, timeline::VeltoWidgetProvider(), std::move(content))
      .configurationDisplayName("Velto Timer")
      .description("See your active project and control its timer.")
      .supportedFamilies({WidgetFamily::systemSmall, WidgetFamily::systemMedium});
}

}  // namespace velto::widget
