#include "host/backends/bar/bar_reading.hpp"

#include <gtest/gtest.h>

#include "tests/support/bar_trees.hpp"

namespace velto::host::bar {
namespace {

using namespace platform::ui;
using platform::foundation::Date;
using testing::kInstant;
using testing::State;
using testing::widgetTree;

std::vector<std::string> texts(const BarReading& reading, double instant = kInstant) {
  std::vector<std::string> all;
  for (const auto& item : reading.items) {
    all.push_back((item.link.empty() ? "" : item.link + " ") + itemText(item, Date(instant)));
  }
  return all;
}

TEST(ReadTree, AColumnGivesEachChildItsOwnGroupAndARowJoinsItsChildren) {
  const View tree = VStack({
      HStack({Image::systemName("hourglass"), Text::key("VELTO"), Spacer(), Circle()}),
      Text::verbatim("Deep Work"),
      HStack({VStack({Text::verbatim("a"), Text::verbatim("b")}), Text::verbatim("c")}),
  });
  EXPECT_EQ((std::vector<std::string>{"\u25D4 VELTO", "Deep Work", "a b c"}),
            texts(readTree(tree)));
}

TEST(ReadTree, ALinkIsAnItemOfItsOwnBetweenTheGroupsAroundIt) {
  const View tree = HStack({Text::verbatim("before"),
                            Link(*URL::fromString("velto://stop"), Image::systemName("stop.fill")),
                            Text::verbatim("after")});
  EXPECT_EQ((std::vector<std::string>{"before", "velto://stop \u25A0", "after"}),
            texts(readTree(tree)));
}

TEST(ReadTree, BackgroundsShapesAndEmptyTextsAreNotRead) {
  const View tree =
      VStack({Text::verbatim("shown").background(Text::verbatim("hidden"), Alignment::center),
              Color::green(), Circle(), Text::verbatim("")});
  EXPECT_EQ((std::vector<std::string>{"shown"}), texts(readTree(tree)));
}

TEST(ReadTree, AnUnknownSymbolReadsAsABox) {
  EXPECT_EQ((std::vector<std::string>{"\u25A1"}),
            texts(readTree(View(Image::systemName("no.such.symbol")))));
}

TEST(ReadTree, ATimerTextTicksAndCountsFromItsAnchor) {
  const BarReading reading = readTree(View(Text::timer(Date(kInstant - 754))));
  EXPECT_TRUE(reading.ticks());
  EXPECT_EQ((std::vector<std::string>{"00:12:34"}), texts(reading));
  EXPECT_EQ((std::vector<std::string>{"00:12:35"}), texts(reading, kInstant + 1));
}

TEST(ReadTree, RedactedTextsKeepTheirLengthInCodePoints) {
  const View tree = VStack({Text::verbatim("Ab cé"), Text::timer(Date(kInstant))});
  const BarReading reading = readTree(tree, true);
  EXPECT_FALSE(reading.ticks());
  EXPECT_EQ((std::vector<std::string>{"\u2588\u2588 \u2588\u2588",
                                      "\u2588\u2588\u2588\u2588\u2588"
                                      "\u2588\u2588\u2588"}),
            texts(reading));
}

TEST(ReadTree, TheRunningWidgetTicksAndShowsBothLinks) {
  const BarReading reading = readTree(widgetTree(State::running, "Deep Work", 754, 5400));
  EXPECT_TRUE(reading.ticks());
  EXPECT_TRUE(reading.hasLinks());
  std::vector<std::string> links;
  for (const auto& item : reading.items) {
    if (!item.link.empty()) {
      links.push_back(item.link);
    }
  }
  EXPECT_EQ((std::vector<std::string>{"velto://toggle", "velto://stop"}), links);
}

TEST(ReadTree, TheStoppedWidgetNeitherTicksNorLinks) {
  const BarReading reading = readTree(widgetTree(State::stopped, std::nullopt, 0, 0));
  EXPECT_FALSE(reading.ticks());
  EXPECT_FALSE(reading.hasLinks());
}

TEST(TimerStateOf, EachStateOfTheWidgetReadsAsItself) {
  struct Case {
    State state;
    double elapsed;
    TimerState expected;
  };
  for (const Case& c : {Case{State::running, 754, TimerState::running},
                        Case{State::paused, 754, TimerState::paused},
                        Case{State::stopped, 754, TimerState::stopped},
                        Case{State::stopped, 0, TimerState::stopped}}) {
    EXPECT_EQ(c.expected, timerState(readTree(widgetTree(c.state, "Deep Work", c.elapsed, 60))))
        << static_cast<int>(c.state);
  }
}

}  // namespace
}  // namespace velto::host::bar
