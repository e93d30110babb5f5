#pragma once

#include <utility>

#include "extension/timeline/velto_widget_entry.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/environment.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::view {

/// What the widget shows for one entry: header, project line, timer readout and
/// footer with the day's total and, unless stopped, the toggle and stop links.
/// One layout for every family; the family only sets the readout's size.
struct VeltoWidgetView {
  explicit VeltoWidgetView(timeline::VeltoWidgetEntry shown) : entry(std::move(shown)) {}

  /// The size class being drawn, read from the environment the host builds in.
  platform::widgets::Environment<&platform::widgets::EnvironmentValues::widgetFamily> _family;
  const timeline::VeltoWidgetEntry entry;

  platform::widgets::WidgetFamily family() const { return _family.wrappedValue(); }

  platform::ui::View body() const { return standardView(); }
  platform::ui::View standardView() const;

  /// The readout: a live clock anchored where the running timer would have
  /// started, or the fixed clock text of the stored seconds.
  platform::ui::View timerText() const;
};

/// The day's total as shown: `todaySeconds`, plus while running the time from the
/// snapshot to the entry's date when that is not negative (nor NaN).
double veltoDayTotal(const timeline::VeltoWidgetEntry& entry);

}  // namespace velto::view
