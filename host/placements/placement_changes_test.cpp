#include "host/placements/placement_changes.hpp"

#include <gtest/gtest.h>

namespace velto::host::placements {
namespace {

using platform::widgets::WidgetFamily;

const Placement kLeft{.name = "left", .corner = Corner::bottomLeft};
const Placement kMedium{.name = "medium", .family = WidgetFamily::systemMedium};
const Placement kEverywhere{.name = "all", .output = std::string(kEveryOutput)};

TEST(PlacementChanges, MatchesPlacementsByName) {
  Placement leftMoved = kLeft;
  leftMoved.margin = 80;
  Placement renamed = kMedium;
  renamed.name = "big";
  struct Case {
    const char* what;
    std::vector<Placement> before;
    std::vector<Placement> after;
    PlacementChanges expected;
  };
  const std::vector<Case> cases{
      {"unchanged", {kLeft, kMedium}, {kLeft, kMedium}, {}},
      {"reordered only", {kLeft, kMedium}, {kMedium, kLeft}, {}},
      {"added", {kLeft}, {kLeft, kMedium}, {.added = {kMedium}}},
      {"first ones", {}, {kLeft, kMedium}, {.added = {kLeft, kMedium}}},
      {"removed", {kLeft, kMedium}, {kMedium}, {.removed = {"left"}}},
      {"all removed", {kLeft, kMedium}, {}, {.removed = {"left", "medium"}}},
      {"moved", {kLeft, kMedium}, {leftMoved, kMedium}, {.moved = {leftMoved}}},
      {"renamed", {kMedium}, {renamed}, {.added = {renamed}, .removed = {"medium"}}},
      {"everything at once",
       {kLeft, kMedium},
       {kEverywhere, leftMoved},
       {.added = {kEverywhere}, .moved = {leftMoved}, .removed = {"medium"}}},
  };
  for (const auto& c : cases) {
    const auto changes = placementChanges(c.before, c.after);
    EXPECT_EQ(c.expected, changes) << c.what;
    EXPECT_EQ(c.expected.empty(), changes.empty()) << c.what;
  }
}

TEST(PlacementChanges, EachValueCountsAsAMove) {
  const Placement base{.name = "w"};
  std::vector<Placement> changed(5, base);
  changed[0].family = WidgetFamily::systemMedium;
  changed[1].corner = Corner::topLeft;
  changed[2].margin = 0;
  changed[3].output = "DP-1";
  changed[4].appearance = render::Appearance::dark;
  for (const auto& after : changed) {
    const std::vector<Placement> before{base};
    EXPECT_EQ(std::vector{after}, placementChanges(before, std::vector{after}).moved);
  }
}

TEST(PlacementsOnMonitors, GivesAnEveryMonitorPlacementOneWindowPerMonitor) {
  const std::vector<Placement> placements{kLeft, kEverywhere, kMedium};
  const std::vector<std::string> monitors{"DP-1", "HDMI-A-1"};
  Placement onFirst = kEverywhere;
  onFirst.name = "all@DP-1";
  onFirst.output = "DP-1";
  Placement onSecond = kEverywhere;
  onSecond.name = "all@HDMI-A-1";
  onSecond.output = "HDMI-A-1";
  EXPECT_EQ((std::vector<Placement>{kLeft, onFirst, onSecond, kMedium}),
            placementsOnMonitors(placements, monitors));
}

TEST(PlacementsOnMonitors, WithoutMonitorsAnEveryMonitorPlacementGivesNone) {
  const std::vector<Placement> placements{kLeft, kEverywhere, kMedium};
  EXPECT_EQ((std::vector<Placement>{kLeft, kMedium}), placementsOnMonitors(placements, {}));
}

TEST(PlacementsOnMonitors, PassesOtherPlacementsThroughWhateverTheirOutput) {
  Placement named = kLeft;
  named.output = "DP-9";
  const std::vector<Placement> placements{named, kMedium};
  const std::vector<std::string> monitors{"DP-1"};
  EXPECT_EQ(placements, placementsOnMonitors(placements, monitors));
}

TEST(PlacementsOnMonitors, AMonitorThatComesAddsOneWindow) {
  const std::vector<Placement> placements{kEverywhere};
  const std::vector<std::string> one{"DP-1"};
  const std::vector<std::string> two{"DP-1", "DP-2"};
  const auto changes = placementChanges(placementsOnMonitors(placements, one),
                                        placementsOnMonitors(placements, two));
  ASSERT_EQ(1U, changes.added.size());
  EXPECT_EQ("all@DP-2", changes.added[0].name);
  EXPECT_TRUE(changes.moved.empty());
  EXPECT_TRUE(changes.removed.empty());
}

}  // namespace
}  // namespace velto::host::placements
