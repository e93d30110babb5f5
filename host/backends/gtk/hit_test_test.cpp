#include "host/backends/gtk/hit_test.hpp"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/widget_frames.hpp"

namespace velto::host::gtk {
namespace {

using layout::LinkRegion;
using layout::Point;
using layout::Rect;
using testing::State;
using testing::widgetFrame;

const std::vector<std::string> kButtons{"velto://toggle", "velto://stop"};

TEST(LinkRegions, RunningWidgetOffersToggleThenStop) {
  const auto regions = linkRegions(widgetFrame(State::running), kButtons);
  ASSERT_EQ(2u, regions.size());
  EXPECT_EQ("velto://toggle", regions[0].url);
  EXPECT_EQ("velto://stop", regions[1].url);
}

TEST(LinkRegions, StoppedWidgetOffersNone) {
  EXPECT_TRUE(linkRegions(widgetFrame(State::stopped), kButtons).empty());
}

TEST(LinkRegions, OnlyTheScenesLinksAreButtons) {
  const auto frame = widgetFrame(State::running);
  EXPECT_TRUE(linkRegions(frame, {}).empty());
  const std::vector<std::string> stopOnly{"velto://stop"};
  const auto regions = linkRegions(frame, stopOnly);
  ASSERT_EQ(1u, regions.size());
  EXPECT_EQ("velto://stop", regions[0].url);
}

TEST(LinkAt, CentreOfEachButtonOpensItsOwnLink) {
  const auto regions = linkRegions(widgetFrame(State::paused), kButtons);
  ASSERT_EQ(2u, regions.size());
  for (std::size_t i = 0; i < regions.size(); ++i) {
    EXPECT_EQ(i, linkAt(regions, regions[i].rect.center()));
  }
}

TEST(LinkAt, PointsOffTheButtonsOpenNothing) {
  const auto regions = linkRegions(widgetFrame(State::running), kButtons);
  ASSERT_EQ(2u, regions.size());
  const Rect toggle = regions[0].rect;
  const Point misses[] = {
      {10, 10},                                  // the header
      {85, 85},                                  // the readout
      {toggle.x - 0.5, toggle.center().y},       // just left of the toggle
      {toggle.center().x, toggle.maxY() + 0.5},  // just below it
  };
  for (const auto& point : misses) {
    EXPECT_EQ(std::nullopt, linkAt(regions, point)) << point.x << "," << point.y;
  }
}

TEST(LinkAt, EdgesBelongToTheBox) {
  const std::vector<LinkRegion> regions{{{10, 20, 24, 24}, "velto://toggle"}};
  EXPECT_EQ(0u, linkAt(regions, {10, 20}));
  EXPECT_EQ(0u, linkAt(regions, {34, 44}));
  EXPECT_EQ(std::nullopt, linkAt(regions, {34.01, 44}));
}

TEST(LinkAt, TopmostOfOverlappingRegionsWins) {
  const std::vector<LinkRegion> regions{{{0, 0, 50, 50}, "velto://under"},
                                        {{10, 10, 10, 10}, "velto://over"}};
  EXPECT_EQ(1u, linkAt(regions, {15, 15}));
  EXPECT_EQ(0u, linkAt(regions, {40, 40}));
}

TEST(LinkAt, WindowUnitsAreScaledToPoints) {
  const std::vector<LinkRegion> regions{{{100, 100, 20, 20}, "velto://stop"}};
  // Drawn at two units a point, the button spans 200…240 units.
  EXPECT_EQ(0u, linkAt(regions, {220, 220}, 0.5));
  EXPECT_EQ(std::nullopt, linkAt(regions, {110, 110}, 0.5));
}

TEST(LinkAt, NonsenseInputOpensNothing) {
  const std::vector<LinkRegion> regions{{{0, 0, 50, 50}, "velto://toggle"}};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(std::nullopt, linkAt(regions, {nan, 1}));
  EXPECT_EQ(std::nullopt, linkAt(regions, {1, inf}));
  EXPECT_EQ(std::nullopt, linkAt(regions, {1, 1}, 0));
  EXPECT_EQ(std::nullopt, linkAt(regions, {1, 1}, -1));
  EXPECT_EQ(std::nullopt, linkAt(regions, {1, 1}, nan));
  EXPECT_EQ(std::nullopt, linkAt({}, {1, 1}));
}

TEST(CoveringBox, CoversEveryTouchedPixel) {
  struct Case {
    Rect rect;
    double scale;
    PixelBox expected;
  };
  const Case cases[] = {
      {{10, 20, 30, 40}, 1, {10, 20, 30, 40}}, {{10.2, 20.7, 30, 40}, 1, {10, 20, 31, 41}},
      {{10.5, 20.5, 1, 1}, 2, {21, 41, 2, 2}}, {{-3.5, 0, 2, 2}, 1, {-4, 0, 3, 2}},
      {{5, 5, 0, 0}, 1, {5, 5, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, coveringBox(c.rect, c.scale)) << c.rect.x << "," << c.rect.y;
  }
}

TEST(CoveringBox, AbsurdBoxesStayWithinIntegers) {
  const double inf = std::numeric_limits<double>::infinity();
  const auto box = coveringBox({-1e300, 0, inf, 1e300});
  EXPECT_LE(0, box.width);
  EXPECT_LE(0, box.height);
  EXPECT_GE(1 << 25, box.width);
}

}  // namespace
}  // namespace velto::host::gtk
