#pragma once

// For tests: the real widget's trees laid out with the fake measurer as the
// desktop window lays them out, so the checks run on what the layout really
// produces for each timer state.

#include <optional>
#include <string>

#include "extension/view/velto_widget_view.hpp"
#include "extension/widget/velto_timer_widget.hpp"
#include "host/layout/laid_out_widget.hpp"
#include "platform/widgets/environment.hpp"
#include "tests/support/fake_text_measurer.hpp"

namespace velto::host::gtk::testing {

using State = model::SharedTimerSnapshot::State;

inline constexpr double kNow = 800'000'000;

/// The small widget showing a timer in `state` that has run 754 s, laid out as of `instant`.
inline layout::DrawList widgetFrame(State state, double instant = kNow,
                                    std::optional<std::string> project = "Deep Work") {
  using namespace platform::ui;
  const model::SharedTimerSnapshot snapshot(state, std::move(project), 754, 5400,
                                            platform::foundation::Date(kNow));
  const platform::widgets::EnvironmentValues environment{
      platform::widgets::WidgetFamily::systemSmall};
  const platform::widgets::EnvironmentScope scope(environment);
  const View tree =
      view::VeltoWidgetView(timeline::VeltoWidgetEntry{platform::foundation::Date(kNow), snapshot})
          .body()
          .containerBackground(ContainerBackgroundPlacement::widget, Alignment::center,
                               widget::veltoWidgetBackground());
  const layout::FakeTextMeasurer measurer;
  auto widget = layout::LaidOutWidget::make(
      tree, layout::WidgetCanvas{{170, 170}, 14, 20, platform::foundation::Date(instant)},
      measurer);
  return widget ? widget->drawList() : layout::DrawList{};
}

}  // namespace velto::host::gtk::testing
