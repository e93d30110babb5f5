#include "host/scheduler/live_timer.hpp"

#include <gtest/gtest.h>

#include "platform/ui/color.hpp"

namespace velto::host {
namespace {

using platform::foundation::Date;
using namespace platform::ui;

TEST(HoldsLiveTimer, FindsAnAnchoredTimerAnywhereInTheTree) {
  const View timer = Text::timer(Date(5));
  const View plain = Text::verbatim("00:00:05");
  struct Case {
    const char* name;
    View view;
    bool expected;
  };
  const Case cases[] = {
      {"a timer", timer, true},
      {"a fixed text", plain, false},
      {"a key", Text::key("VELTO"), false},
      {"a timer without anchor", Text(Text::Timer{std::nullopt}), false},
      {"deep in stacks", VStack({HStack({plain, ZStack({Spacer(), timer})})}), true},
      {"stacks without", VStack({HStack({plain, ZStack({Spacer(), plain})})}), false},
      {"a label's title", Label(Text::timer(Date(1)), "hourglass"), true},
      {"a link's label", Link(URL::fromString("velto://toggle").value(), timer), true},
      {"a background", plain.background(timer, Alignment::center), true},
      {"a container background",
       plain.containerBackground(ContainerBackgroundPlacement::widget, Alignment::center, timer),
       true},
      {"modifiers alone", plain.font(Font::system(12)).monospacedDigit(), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, holdsLiveTimer(c.view)) << c.name;
  }
}

}  // namespace
}  // namespace velto::host
