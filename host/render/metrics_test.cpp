#include "host/render/metrics.hpp"

#include <algorithm>

#include <gtest/gtest.h>

namespace velto::host::render {
namespace {

using platform::widgets::WidgetFamily;

TEST(WidgetCanvas, EverySystemFamilyLeavesRoomInsideItsMarginsAndCorners) {
  for (const WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium,
                                    WidgetFamily::systemLarge, WidgetFamily::systemExtraLarge}) {
    const layout::WidgetCanvas canvas = widgetCanvas(family, platform::foundation::Date(0));
    const double shorter = std::min(canvas.size.width, canvas.size.height);
    EXPECT_GT(shorter, 2 * canvas.contentMargin) << rawValue(family);
    EXPECT_LE(canvas.cornerRadius, shorter / 2) << rawValue(family);
  }
}

TEST(WidgetSize, MediumIsTheSmallWidgetWidened) {
  const layout::Size small = widgetSize(WidgetFamily::systemSmall);
  const layout::Size medium = widgetSize(WidgetFamily::systemMedium);
  EXPECT_EQ(small.width, small.height);
  EXPECT_EQ(small.height, medium.height);
  EXPECT_GT(medium.width, 2 * small.width);
}

}  // namespace
}  // namespace velto::host::render
