#pragma once

#include <string>

#include "platform/ui/view.hpp"
#include "platform/widgets/runtime/widget_configuration.hpp"

namespace velto::widget {

/// The extension's one widget: the timer, in the small and the medium size.
struct VeltoTimerWidget {
  VeltoTimerWidget() : kind("VeltoTimerWidget") {}

  const std::string kind;

  /// A static configuration binding `kind` to a fresh provider and to a content
  /// function that draws each entry's view over the widget's background.
  platform::widgets::WidgetConfiguration body() const;
};

/// The widget's container background: the window colour with an orange glow in
/// the top trailing corner, the same for every entry, family and state.
platform::ui::View veltoWidgetBackground();

static_assert(platform::widgets::Widget<VeltoTimerWidget>);

}  // namespace velto::widget
