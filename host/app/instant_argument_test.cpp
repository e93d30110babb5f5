#include "host/app/instant_argument.hpp"

#include <ctime>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

namespace velto::host {
namespace {

TEST(ParseInstant, ReadsTheThreeForms) {
  struct Case {
    const char* text;
    double secondsSince2001;
  };
  const Case cases[] = {
      {"0", 0},
      {"-86400", -86400},
      {"818287282.5", 818287282.5},
      {"@978307200", 0},
      {"@0", -978307200},
      {"2001-01-01T00:00:00Z", 0},
      {"2026-12-06T21:30:00Z", 818285400},
      {"2026-12-06T22:30:00+01:00", 818285400},
      {"2026-12-06T21:30:00.25Z", 818285400.25},
      {"1970-01-01T00:00:00Z", -978307200},
  };
  for (const Case& c : cases) {
    const auto instant = parseInstant(c.text);
    ASSERT_TRUE(instant) << c.text << ": " << instant.error();
    EXPECT_DOUBLE_EQ(c.secondsSince2001, instant->timeIntervalSinceReferenceDate()) << c.text;
  }
}

TEST(ParseInstant, LocalTimeFollowsTheTimeZone) {
  const char* old = std::getenv("TZ");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TZ", "UTC-2", 1);  // POSIX sign: two hours east of UTC
  ::tzset();
  const auto instant = parseInstant("2001-01-01T02:00:00");
  saved ? ::setenv("TZ", saved->c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
  ASSERT_TRUE(instant) << instant.error();
  EXPECT_EQ(0.0, instant->timeIntervalSinceReferenceDate());
}

TEST(ParseInstant, RefusesWhatNamesNoInstant) {
  using ::testing::HasSubstr;
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"", "an empty time names no instant"},
      {"now", "is not an ISO-8601 date and time"},
      {"nan", "is not an ISO-8601 date and time"},
      {"1e999", "is not an ISO-8601 date and time"},
      {"@", "is not '@' followed by Unix seconds"},
      {"@1x", "is not '@' followed by Unix seconds"},
      {"2026-12-06", "is not an ISO-8601 date and time"},
      {"2026-02-30T00:00:00Z", "names no such date or time"},
      {"2026-12-06T24:00:00Z", "names no such date or time"},
      {"2026-12-06T21:30:00+25:00", "is not an ISO-8601 date and time"},
  };
  for (const Case& c : cases) {
    const auto instant = parseInstant(c.text);
    ASSERT_FALSE(instant) << c.text;
    EXPECT_THAT(instant.error(), HasSubstr(c.message)) << c.text;
  }
}

}  // namespace
}  // namespace velto::host
