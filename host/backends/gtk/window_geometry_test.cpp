#include "host/backends/gtk/window_geometry.hpp"

#include <climits>

#include <gtest/gtest.h>

namespace velto::host::gtk {
namespace {

TEST(AnchoredOrigin, EachCornerOfTheWorkArea) {
  // A 1920 × 1080 monitor with a 32-pixel panel on top.
  const ScreenRect area{0, 32, 1920, 1048};
  struct Case {
    Corner corner;
    ScreenPoint expected;
  };
  const Case cases[] = {
      {Corner::topRight, {1920 - 24 - 170, 32 + 24}},
      {Corner::topLeft, {24, 32 + 24}},
      {Corner::bottomRight, {1920 - 24 - 170, 1080 - 24 - 170}},
      {Corner::bottomLeft, {24, 1080 - 24 - 170}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, anchoredOrigin(c.corner, 24, area, 170, 170));
  }
}

TEST(AnchoredOrigin, SecondMonitorOffsetsTheOrigin) {
  const ScreenRect right{1920, 0, 1280, 1024};
  EXPECT_EQ((ScreenPoint{1920 + 1280 - 10 - 364, 10}),
            anchoredOrigin(Corner::topRight, 10, right, 364, 170));
}

TEST(AnchoredOrigin, MarginTooLargeForTheAreaKeepsTheWindowInside) {
  const ScreenRect area{0, 0, 400, 300};
  EXPECT_EQ((ScreenPoint{230, 0}), anchoredOrigin(Corner::bottomLeft, 10'000, area, 170, 170));
  EXPECT_EQ((ScreenPoint{0, 130}), anchoredOrigin(Corner::topRight, 10'000, area, 170, 170));
  EXPECT_EQ((ScreenPoint{0, 0}), anchoredOrigin(Corner::topLeft, -50, area, 170, 170));
}

TEST(AnchoredOrigin, AreaSmallerThanTheWindowShowsItsAnchoredStart) {
  const ScreenRect tiny{100, 100, 50, 50};
  EXPECT_EQ((ScreenPoint{100, 100}), anchoredOrigin(Corner::bottomRight, 24, tiny, 170, 170));
}

TEST(LayerAnchors, TwoEdgesPerCorner) {
  EXPECT_EQ((LayerAnchors{.top = true, .right = true}), layerAnchors(Corner::topRight));
  EXPECT_EQ((LayerAnchors{.top = true, .left = true}), layerAnchors(Corner::topLeft));
  EXPECT_EQ((LayerAnchors{.bottom = true, .right = true}), layerAnchors(Corner::bottomRight));
  EXPECT_EQ((LayerAnchors{.bottom = true, .left = true}), layerAnchors(Corner::bottomLeft));
}

TEST(VisibleOrigin, KeepsAPositionOnAnyMonitor) {
  const ScreenRect monitors[] = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  EXPECT_EQ((ScreenPoint{100, 100}), visibleOrigin({100, 100}, 170, 170, monitors));
  EXPECT_EQ((ScreenPoint{2500, 500}), visibleOrigin({2500, 500}, 170, 170, monitors));
  // Mostly off the right edge of the last monitor, but 40 pixels still show.
  EXPECT_EQ((ScreenPoint{3160, 0}), visibleOrigin({3160, 0}, 170, 170, monitors));
}

TEST(VisibleOrigin, DropsAPositionLeftOnAMonitorThatWentAway) {
  const ScreenRect remaining[] = {{0, 0, 1920, 1080}};
  EXPECT_EQ(std::nullopt, visibleOrigin({2500, 500}, 170, 170, remaining));
  EXPECT_EQ(std::nullopt, visibleOrigin({1900, 500}, 170, 170, remaining));  // 20 px show
  EXPECT_EQ(std::nullopt, visibleOrigin({100, -160}, 170, 170, remaining));
  EXPECT_EQ(std::nullopt, visibleOrigin({100, 100}, 170, 170, {}));
}

TEST(VisibleOrigin, ExtremeCoordinatesDoNotOverflow) {
  const ScreenRect monitors[] = {{0, 0, 1920, 1080}};
  EXPECT_EQ(std::nullopt, visibleOrigin({INT_MAX, INT_MAX}, 170, 170, monitors));
  EXPECT_EQ(std::nullopt, visibleOrigin({INT_MIN, INT_MIN}, 170, 170, monitors));
}

}  // namespace
}  // namespace velto::host::gtk
