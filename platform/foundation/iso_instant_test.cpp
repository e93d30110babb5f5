#include "platform/foundation/iso_instant.hpp"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace platform::foundation {
namespace {

TEST(IsoReading, ReadsZonedDatesAndTimes) {
  struct Case {
    std::string_view text;
    double unixSeconds;
  };
  const Case cases[] = {
      {"1970-01-01T00:00:00Z", 0},
      {"2001-01-01T00:00:00Z", 978307200},
      {"2001-01-01 00:00:00z", 978307200},
      {"2026-12-06T21:30:00Z", 1796592600},
      {"2026-12-06T21:30Z", 1796592600},
      {"2026-12-06T22:30:00+01:00", 1796592600},
      {"2026-12-06T16:00:00-0530", 1796592600},
      {"2026-12-06T22:30+01", 1796592600},
      {"2026-12-06T21:30:00.25Z", 1796592600.25},
      {"2026-12-06T21:30:00,5Z", 1796592600.5},
      {"2024-02-29T12:00Z", 1709208000},
      {"2000-02-29T00:00:00Z", 951782400},
  };
  for (const Case& c : cases) {
    const auto reading = parseIsoReading(c.text, IsoDate::required);
    ASSERT_TRUE(reading) << c.text;
    ASSERT_TRUE(reading->date && reading->offsetSeconds) << c.text;
    EXPECT_DOUBLE_EQ(c.unixSeconds,
                     unixSecondsAt(*reading->date, reading->time, *reading->offsetSeconds))
        << c.text;
  }
}

TEST(IsoReading, LeavesAReadingWithoutZoneOrDateToTheCaller) {
  const auto local = parseIsoReading("2026-06-10 09:00:30.5", IsoDate::required);
  ASSERT_TRUE(local);
  EXPECT_FALSE(local->offsetSeconds);
  EXPECT_EQ(10, local->date->day);
  EXPECT_EQ(30, local->time.second);
  EXPECT_DOUBLE_EQ(0.5, local->time.fraction);

  const auto timeOnly = parseIsoReading("09:00", IsoDate::optional);
  ASSERT_TRUE(timeOnly);
  EXPECT_FALSE(timeOnly->date);
  EXPECT_EQ(9, timeOnly->time.hour);
  EXPECT_FALSE(parseIsoReading("09:00", IsoDate::required));
}

TEST(IsoReading, TellsMalformedTextFromImpossibleReadings) {
  struct Case {
    std::string_view text;
    IsoError error;
  };
  const Case cases[] = {
      {"", IsoError::malformed},
      {"now", IsoError::malformed},
      {"9:00", IsoError::malformed},
      {"09:0", IsoError::malformed},
      {"0900", IsoError::malformed},
      {"12:00:", IsoError::malformed},
      {"12:00.5", IsoError::malformed},
      {" 09:00", IsoError::malformed},
      {"2026-12-06", IsoError::malformed},
      {"2026-12-06T", IsoError::malformed},
      {"2026-6-10T09:00", IsoError::malformed},
      {"2026-12-06T21:30:00Zjunk", IsoError::malformed},
      {"2026-12-06T21:30:00.Z", IsoError::malformed},
      {"2026-12-06T21:30 ", IsoError::malformed},
      {"2026-12-06T21:30:00+25:00", IsoError::malformed},
      {"2026-12-06T21:30:00+02:60", IsoError::malformed},
      {"2026-02-30T00:00:00Z", IsoError::noSuchDate},
      {"2026-02-29T10:00", IsoError::noSuchDate},
      {"2026-13-01T00:00:00Z", IsoError::noSuchDate},
      {"2026-00-10T10:00", IsoError::noSuchDate},
      {"2026-04-31T10:00", IsoError::noSuchDate},
      {"2026-12-06T24:00:00Z", IsoError::noSuchTime},
      {"12:60", IsoError::noSuchTime},
      {"12:00:60", IsoError::noSuchTime},
  };
  for (const Case& c : cases) {
    const auto reading = parseIsoReading(c.text, IsoDate::optional);
    ASSERT_FALSE(reading) << c.text;
    EXPECT_EQ(c.error, reading.error()) << c.text;
  }
}

TEST(DaysFromCivil, CountsFromTheUnixEpochAcrossLeapRules) {
  EXPECT_EQ(0, daysFromCivil(1970, 1, 1));
  EXPECT_EQ(-1, daysFromCivil(1969, 12, 31));
  EXPECT_EQ(11016, daysFromCivil(2000, 2, 29));
  EXPECT_EQ(11017, daysFromCivil(2000, 3, 1));
  EXPECT_EQ(47541, daysFromCivil(2100, 3, 1));
  EXPECT_EQ(-719468, daysFromCivil(0, 3, 1));
}

TEST(LocalUnixSecondsAt, ReadsTheLocalClockAndRefusesTheHourItSkips) {
  const char* old = std::getenv("TZ");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  const auto winter = localUnixSecondsAt({2026, 1, 15}, {12, 0, 0, 0.5});
  // Berlin's clocks jump from 02:00 to 03:00 that night: 02:30 never shows.
  const auto skipped = localUnixSecondsAt({2026, 3, 29}, {2, 30, 0, 0.0});
  const auto after = localUnixSecondsAt({2026, 3, 29}, {3, 30, 0, 0.0});
  saved ? ::setenv("TZ", saved->c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
  EXPECT_EQ(std::optional<double>(1768474800.5), winter);
  EXPECT_EQ(std::nullopt, skipped);
  EXPECT_EQ(std::optional<double>(1774747800.0), after);
}

}  // namespace
}  // namespace platform::foundation
