#include "platform/foundation/calendar.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace platform::foundation {
namespace {

TEST(GregorianCalendar, AddingMinutesAddsSixtySecondsEach) {
  const Calendar& calendar = Calendar::current();
  for (std::int64_t minutes : {0, 1, 5, -3, 1440}) {
    const auto result = calendar.date(CalendarComponent::minute, minutes, Date(1000.5));
    ASSERT_TRUE(result.has_value()) << minutes;
    EXPECT_EQ(1000.5 + 60.0 * static_cast<double>(minutes),
              result->timeIntervalSinceReferenceDate());
  }
}

TEST(GregorianCalendar, YieldsNoDateOutsideItsRange) {
  struct Case {
    double start;
    std::int64_t minutes;
    bool expected;
  };
  const double earliest = GregorianCalendar::kEarliest.timeIntervalSinceReferenceDate();
  const double end = GregorianCalendar::kEnd.timeIntervalSinceReferenceDate();
  const Case cases[] = {
      {earliest, 0, true},
      {earliest, -1, false},
      {end - 60.0, 0, true},
      {end - 60.0, 1, false},
      {0.0, std::numeric_limits<std::int64_t>::max(), false},
      {std::numeric_limits<double>::quiet_NaN(), 0, false},
      {std::numeric_limits<double>::infinity(), 0, false},
      {-std::numeric_limits<double>::infinity(), 1, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        c.expected,
        Calendar::current().date(CalendarComponent::minute, c.minutes, Date(c.start)).has_value())
        << c.start << " + " << c.minutes << " min";
  }
}

TEST(GregorianCalendar, WrappingStaysWithinTheHour) {
  // 00:59:30 plus two minutes wraps to 00:01:30 of the same hour.
  const auto result =
      Calendar::current().date(CalendarComponent::minute, 2, Date(59 * 60 + 30), true);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(90.0, result->timeIntervalSinceReferenceDate());
  const auto back = Calendar::current().date(CalendarComponent::minute, -2, Date(30), true);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(58 * 60 + 30.0, back->timeIntervalSinceReferenceDate());
}

}  // namespace
}  // namespace platform::foundation
