#include "host/layout/timer_text.hpp"

#include <limits>

#include <gtest/gtest.h>

namespace velto::host::layout {
namespace {

using platform::foundation::Date;

TEST(TimerClockText, CountsWholeSecondsFromTheAnchor) {
  struct Case {
    double elapsed;
    const char* shown;
  };
  const Case cases[] = {
      {0, "00:00:00"},      {0.999, "00:00:00"}, {754, "00:12:34"},
      {3661.5, "01:01:01"}, {86399, "23:59:59"}, {360000, "100:00:00"},
      {-0.5, "00:00:00"},   {-3600, "00:00:00"}, {9.3e18, "--:--:--"},
  };
  const Date instant(800'000'000);
  for (const Case& c : cases) {
    EXPECT_EQ(c.shown, timerClockText(instant.addingTimeInterval(-c.elapsed), instant))
        << c.elapsed;
  }
}

TEST(TimerClockText, ShowsAPlaceholderWithoutAFiniteAnchorOrInstant) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ("--:--:--", timerClockText(std::nullopt, Date(0)));
  EXPECT_EQ("--:--:--", timerClockText(Date(kNaN), Date(0)));
  EXPECT_EQ("--:--:--", timerClockText(Date(-kInf), Date(0)));
  EXPECT_EQ("--:--:--", timerClockText(Date(kInf), Date(0)));
  EXPECT_EQ("--:--:--", timerClockText(Date(0), Date(kNaN)));
}

}  // namespace
}  // namespace velto::host::layout
