#pragma once

// For the bar's tests: the widget's own tree for a snapshot, as the extension
// sends it for the small size.

#include <optional>
#include <string>

#include "extension/model/shared_timer_snapshot.hpp"
#include "extension/timeline/velto_widget_entry.hpp"
#include "extension/view/velto_widget_view.hpp"
#include "extension/widget/velto_timer_widget.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/environment.hpp"

namespace velto::host::bar::testing {

/// The instant every test tree is dated and read at, unless a test moves on.
inline constexpr double kInstant = 800'000'000;

using State = model::SharedTimerSnapshot::State;

inline platform::ui::View widgetTree(State state, std::optional<std::string> project,
                                     double elapsed, double today) {
  const platform::widgets::EnvironmentValues environment{
      platform::widgets::WidgetFamily::systemSmall};
  const platform::widgets::EnvironmentScope scope(environment);
  const model::SharedTimerSnapshot snapshot(state, std::move(project), elapsed, today,
                                            platform::foundation::Date(kInstant));
  return view::VeltoWidgetView(
             timeline::VeltoWidgetEntry{platform::foundation::Date(kInstant), snapshot})
      .body()
      .containerBackground(platform::ui::ContainerBackgroundPlacement::widget,
                           platform::ui::Alignment::center, widget::veltoWidgetBackground());
}

}  // namespace velto::host::bar::testing
