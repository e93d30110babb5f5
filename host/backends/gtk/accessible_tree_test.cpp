#include "host/backends/gtk/accessible_tree.hpp"

#include <gtest/gtest.h>

#include "tests/support/widget_frames.hpp"

namespace velto::host::gtk {
namespace {

using Role = AccessibleNode::Role;
using testing::State;
using testing::widgetFrame;

std::vector<std::string> names(const std::vector<AccessibleNode>& nodes) {
  std::vector<std::string> out;
  for (const auto& node : nodes) {
    out.push_back(node.name);
  }
  return out;
}

TEST(SymbolName, ButtonsAreNamedFromTheirSymbols) {
  EXPECT_EQ("Pause", symbolName("pause.fill"));
  EXPECT_EQ("Play", symbolName("play.fill"));
  EXPECT_EQ("Stop", symbolName("stop.fill"));
  EXPECT_EQ("Sun", symbolName("sun.max"));
  EXPECT_EQ("Hourglass", symbolName("hourglass"));
  EXPECT_EQ("", symbolName(""));
  EXPECT_EQ("", symbolName(".fill"));
}

TEST(AccessibleTree, RunningWidgetReadsTopToBottomThenItsButtons) {
  const auto nodes = accessibleTree(widgetFrame(State::running));
  // Header, project, readout, then the footer row: the day's total and the buttons.
  const std::vector<AccessibleNode::Role> roles{Role::text, Role::text,   Role::text,
                                                Role::text, Role::button, Role::button};
  ASSERT_EQ(roles.size(), nodes.size()) << ::testing::PrintToString(names(nodes));
  for (std::size_t i = 0; i < roles.size(); ++i) {
    EXPECT_EQ(roles[i], nodes[i].role) << i;
  }
  EXPECT_EQ("VELTO", nodes[0].name);
  EXPECT_EQ("Deep Work", nodes[1].name);
  EXPECT_EQ("12 minutes 34 seconds", nodes[2].name);
  EXPECT_EQ(AccessibleNode::Meaning::elapsed, nodes[2].meaning);
  EXPECT_EQ("Today 1 hour 30 minutes", nodes[3].name);
  EXPECT_EQ(AccessibleNode::Meaning::today, nodes[3].meaning);
  EXPECT_EQ("Pause", nodes[4].name);
  EXPECT_EQ("velto://toggle", nodes[4].url);
  EXPECT_EQ("Pause the timer", nodes[4].description);
  EXPECT_EQ("Stop", nodes[5].name);
  EXPECT_EQ("velto://stop", nodes[5].url);
  EXPECT_EQ("Stop the timer", nodes[5].description);
  EXPECT_EQ("", nodes[0].url);
  EXPECT_EQ("", nodes[0].description);
}

TEST(SymbolAction, SaysWhatATimerButtonDoes) {
  EXPECT_EQ("Pause the timer", symbolAction("pause.fill"));
  EXPECT_EQ("Resume the timer", symbolAction("play.fill"));
  EXPECT_EQ("Stop the timer", symbolAction("stop.fill"));
  EXPECT_EQ("", symbolAction("sun.max"));
  EXPECT_EQ("", symbolAction(""));
}

TEST(WidgetSummary, SaysProjectStateReadoutAndTodaysTotal) {
  const std::pair<State, const char*> cases[] = {
      {State::running, "Deep Work, running, 12 minutes; today 1 hour 30 minutes"},
      {State::paused, "Deep Work, paused, 12 minutes; today 1 hour 30 minutes"},
      {State::stopped, "Deep Work, stopped, 12 minutes; today 1 hour 30 minutes"},
  };
  for (const auto& [state, summary] : cases) {
    EXPECT_EQ(summary, widgetSummary(accessibleTree(widgetFrame(state)), "Velto Timer"));
  }
  const auto empty = layout::DrawList{};
  EXPECT_EQ("", widgetSummary(accessibleTree(empty), "Velto Timer"));
}

TEST(WidgetSummary, ChangesWithTheMinuteNotWithEachTick) {
  const auto at = [](double instant) {
    return widgetSummary(accessibleTree(widgetFrame(State::running, instant)), "Velto Timer");
  };
  // 754 s at kNow: the readout turns to 13 minutes 26 s later.
  EXPECT_EQ(at(testing::kNow), at(testing::kNow + 25));
  EXPECT_NE(at(testing::kNow), at(testing::kNow + 26));
}

TEST(AccessibleTree, PausedToggleIsNamedPlay) {
  const auto nodes = accessibleTree(widgetFrame(State::paused));
  std::vector<std::pair<std::string, std::string>> buttons;
  for (const auto& node : nodes) {
    if (node.role == Role::button) {
      buttons.emplace_back(node.name, node.url);
    }
  }
  const std::vector<std::pair<std::string, std::string>> expected{{"Play", "velto://toggle"},
                                                                  {"Stop", "velto://stop"}};
  EXPECT_EQ(expected, buttons);
}

TEST(AccessibleTree, StoppedWidgetHasNoButtonsAndNamesTheEmptyProject) {
  const auto nodes = accessibleTree(widgetFrame(State::stopped, testing::kNow, std::nullopt));
  for (const auto& node : nodes) {
    EXPECT_EQ(Role::text, node.role) << node.name;
  }
  ASSERT_GE(nodes.size(), 3u);
  EXPECT_EQ("Ready to focus", nodes[1].name);
  EXPECT_EQ("Ready to focus, stopped, 12 minutes; today 1 hour 30 minutes",
            widgetSummary(nodes, "Velto Timer"));
}

TEST(AccessibleTree, ReadoutStaysCurrent) {
  const auto later = accessibleTree(widgetFrame(State::running, testing::kNow + 61));
  ASSERT_GE(later.size(), 3u);
  EXPECT_EQ("13 minutes 35 seconds", later[2].name);
}

TEST(AccessibleTree, LinkWithoutSymbolOrTextIsNamedByItsUrl) {
  const layout::DrawList list{{100, 100}, {layout::LinkRegion{{0, 0, 10, 10}, "velto://stop"}}};
  const auto nodes = accessibleTree(list);
  ASSERT_EQ(1u, nodes.size());
  EXPECT_EQ("velto://stop", nodes[0].name);
}

TEST(AccessibleTree, TextInsideALinkNamesTheButton) {
  const layout::DrawList list{
      {100, 100},
      {layout::DrawText{{2, 2, 40, 10}, "Open", {}, platform::ui::Color::primary(), 1},
       layout::LinkRegion{{0, 0, 50, 14}, "velto://toggle"},
       layout::DrawText{{2, 40, 40, 10}, "Below", {}, platform::ui::Color::primary(), 1}}};
  const auto nodes = accessibleTree(list);
  ASSERT_EQ(2u, nodes.size());
  EXPECT_EQ(Role::button, nodes[0].role);
  EXPECT_EQ("Open", nodes[0].name);
  EXPECT_EQ("Below", nodes[1].name);
}

}  // namespace
}  // namespace velto::host::gtk
