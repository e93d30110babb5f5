#pragma once

#include <vector>

#include "extension/widget/velto_timer_widget.hpp"
#include "platform/widgets/runtime/widget_bundle.hpp"

namespace velto::widget {

/// The widgets the extension offers: the timer alone.
struct VeltoWidgetBundle : platform::widgets::WidgetBundle<VeltoWidgetBundle> {
  VeltoWidgetBundle() = default;

  std::vector<platform::widgets::AnyWidget> body() const {
    return platform::widgets::WidgetBundleBuilder::buildBlock(VeltoTimerWidget());
  }
};

}  // namespace velto::widget
