#include "extension/widget/velto_timer_widget.hpp"

#include <vector>

#include <gtest/gtest.h>

#include "extension/widget/velto_widget_bundle.hpp"
#include "platform/ui/elements.hpp"

namespace velto::widget {
namespace {

using namespace platform::ui;
using platform::widgets::TimelineProviderContext;
using platform::widgets::WidgetFamily;

TEST(VeltoTimerWidget, EveryViewSitsOnTheSameBackground) {
  const View background = ZStack(
      Alignment::center, {Color::windowBackground(),
                          RadialGradient(Gradient({Color::orange().opacity(0.22), Color::clear()}),
                                         UnitPoint::topTrailing, 0, 240)});
  const ContainerBackgroundModifier expected{ContainerBackgroundPlacement::widget,
                                             Alignment::center, background};
  const auto configuration = VeltoTimerWidget().body();
  for (WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium}) {
    // The placeholder is the one content that reads no storage.
    const auto entry = configuration.placeholder(TimelineProviderContext{family, false, {}});
    ASSERT_EQ(1u, entry.view.modifiers.size());
    EXPECT_EQ(Modifier(expected), entry.view.modifiers[0]);
    // The content is the view's body, built for the requested family.
    const auto& readout = std::get<VStack>(entry.view.element).children.at(3);
    EXPECT_EQ(family == WidgetFamily::systemSmall ? 24 : 30,
              std::get<FontModifier>(readout.modifiers.at(1)).font.size);
  }
}

}  // namespace
}  // namespace velto::widget
