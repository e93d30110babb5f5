#pragma once

// For tests and benchmarks: the fixed scenes of the golden images, the widget's
// own trees for three timer states in both sizes and appearances.

#include <optional>
#include <string>
#include <vector>

#include "extension/model/shared_timer_snapshot.hpp"
#include "extension/timeline/velto_widget_entry.hpp"
#include "extension/view/velto_widget_view.hpp"
#include "extension/widget/velto_timer_widget.hpp"
#include "host/backends/cairo/renderer.hpp"
#include "platform/foundation/date.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/environment.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::cairo {

/// The entries' date and the drawing instant of every scene.
inline constexpr double kGoldenInstant = 800'000'000;

struct GoldenScene {
  std::string name;  // "running-medium-dark"
  model::SharedTimerSnapshot snapshot;
  DrawOptions options;
};

/// A snapshot for each state: empty (stopped, no project, zeros); running for
/// 754 s with 5400 s today on "Deep Work"; paused at 3661.5 s on "Client review".
inline std::vector<std::pair<std::string, model::SharedTimerSnapshot>> goldenSnapshots() {
  using model::SharedTimerSnapshot;
  using platform::foundation::Date;
  using State = SharedTimerSnapshot::State;
  return {
      {"empty", SharedTimerSnapshot(State::stopped, std::nullopt, 0, 0, Date(kGoldenInstant))},
      {"running",
       SharedTimerSnapshot(State::running, "Deep Work", 754, 5400, Date(kGoldenInstant))},
      {"paused", SharedTimerSnapshot(State::paused, "Client review", 3661.5, 9000,
                                     Date(kGoldenInstant - 3600))},
  };
}

/// Every state in small and medium, light and dark, at scale 2.
inline std::vector<GoldenScene> goldenScenes() {
  using platform::widgets::WidgetFamily;
  std::vector<GoldenScene> scenes;
  for (const auto& [state, snapshot] : goldenSnapshots()) {
    for (const WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium}) {
      const std::string size(platform::widgets::familyName(family));
      for (const auto& [appearance, look] :
           {std::pair{Appearance::light, "light"}, std::pair{Appearance::dark, "dark"}}) {
        scenes.push_back(
            {state + "-" + size + "-" + look, snapshot,
             DrawOptions{family, 2.0, appearance, platform::foundation::Date(kGoldenInstant)}});
      }
    }
  }
  return scenes;
}

/// The tree the widget's content function builds for the scene's entry and family.
inline platform::ui::View goldenTree(const GoldenScene& scene) {
  const platform::widgets::EnvironmentValues environment{scene.options.family};
  const platform::widgets::EnvironmentScope scope(environment);
  const timeline::VeltoWidgetEntry entry{platform::foundation::Date(kGoldenInstant),
                                         scene.snapshot};
  return view::VeltoWidgetView(entry).body().containerBackground(
      platform::ui::ContainerBackgroundPlacement::widget, platform::ui::Alignment::center,
      widget::veltoWidgetBackground());
}

}  // namespace velto::host::cairo
