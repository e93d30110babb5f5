#include "tools/velto-timer/time_argument.hpp"

#include <optional>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/support/scoped_time_zone.hpp"

namespace velto::timer {
namespace {

using platform::foundation::Date;

// 2026-06-10 10:00:00 UTC, 12:00 in Berlin (CEST, UTC+2).
constexpr double kNowUnix = 1781085600;

Date utc(double secondsAfterNow) {
  return Date::fromUnixSeconds(kNowUnix + secondsAfterNow);
}

TEST(ParseTimeArgument, ReadsLocalAndZonedTimes) {
  const test_support::ScopedTimeZone berlin("Europe/Berlin");
  const SystemTimeZone zone;
  const struct {
    std::string_view text;
    Date expected;
  } cases[] = {
      {"09:00", utc(-3 * 3600)},
      {"12:00", utc(0)},
      {"09:00:30", utc(-3 * 3600 + 30)},
      {"00:00", utc(-12 * 3600)},
      {"2026-06-10T09:00", utc(-3 * 3600)},
      {"2026-06-10 09:00:00.5", utc(-3 * 3600 + 0.5)},
      {"2026-06-09T23:59:59", utc(-12 * 3600 - 1)},
      {"2026-06-10T07:00Z", utc(-3 * 3600)},
      {"2026-06-10T09:00+02:00", utc(-3 * 3600)},
      {"2026-06-10T05:30-01:30", utc(-3 * 3600)},
      {"2026-01-15T09:00", Date::fromUnixSeconds(1768464000)},  // CET, UTC+1
  };
  for (const auto& c : cases) {
    const auto parsed = parseTimeArgument(c.text, utc(0), zone);
    ASSERT_TRUE(parsed.has_value()) << c.text << ": " << parsed.error();
    EXPECT_EQ(c.expected, *parsed) << c.text;
  }
}

TEST(ParseTimeArgument, RefusesWhatNamesNoInstant) {
  const test_support::ScopedTimeZone berlin("Europe/Berlin");
  const SystemTimeZone zone;
  for (const std::string_view text : {
           "", "24:00", "12:00:60", "09:00Z", "tomorrow", "2026-06-10", "2026-02-29T10:00",
           "2026-03-29T02:30",  // Berlin skips 02:00 to 03:00
       }) {
    EXPECT_FALSE(parseTimeArgument(text, utc(0), zone).has_value()) << text;
  }
}

TEST(ParseTimeArgument, TakesOneOfTheTwoInstantsOfARepeatedReading) {
  const test_support::ScopedTimeZone berlin("Europe/Berlin");
  const SystemTimeZone zone;
  // 02:30 on 2026-10-25 happens at 00:30 UTC (CEST) and again at 01:30 UTC (CET).
  const auto parsed = parseTimeArgument("2026-10-25T02:30", utc(0), zone);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_TRUE(*parsed == Date::fromUnixSeconds(1792888200)
              || *parsed == Date::fromUnixSeconds(1792891800))
      << parsed->timeIntervalSince1970();
}

}  // namespace
}  // namespace velto::timer
