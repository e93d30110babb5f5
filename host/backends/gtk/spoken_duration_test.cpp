#include "host/backends/gtk/spoken_duration.hpp"

#include <gtest/gtest.h>

namespace velto::host::gtk {
namespace {

TEST(ClockSeconds, ReadsTheReadoutAndNothingElse) {
  const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
      {"00:12:34", 754},
      {"01:01:01", 3661},
      {"123:00:00", 442800},
      {"00:00:00", 0},
      {"--:--:--", {}},
      {"00:60:00", {}},
      {"00:00:5", {}},
      {"12:34", {}},
      {":12:34", {}},
      {"-1:00:00", {}},
      {"", {}},
      {"1h 30m", {}},
      {"9999999999999:00:00", {}},
  };
  for (const auto& [text, seconds] : cases) {
    EXPECT_EQ(seconds, clockSeconds(text)) << text;
  }
}

TEST(CompactSeconds, ReadsHoursAndMinutesAndNothingElse) {
  const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
      {"1h 30m", 5400}, {"45m", 2700}, {"0m", 0},      {"2h 0m", 7200}, {"--", {}},
      {"1h", {}},       {"m", {}},     {"1h 75m", {}}, {"h 5m", {}},    {"", {}},
  };
  for (const auto& [text, seconds] : cases) {
    EXPECT_EQ(seconds, compactSeconds(text)) << text;
  }
}

TEST(SpokenDuration, NamesEachUnitThatIsNotZero) {
  const std::tuple<std::int64_t, SpokenPrecision, const char*> cases[] = {
      {754, SpokenPrecision::seconds, "12 minutes 34 seconds"},
      {3601, SpokenPrecision::seconds, "1 hour 1 second"},
      {0, SpokenPrecision::seconds, "0 seconds"},
      {-5, SpokenPrecision::seconds, "0 seconds"},
      {7260, SpokenPrecision::seconds, "2 hours 1 minute"},
      {754, SpokenPrecision::minutes, "12 minutes"},
      {4380, SpokenPrecision::minutes, "1 hour 13 minutes"},
      {3659, SpokenPrecision::minutes, "1 hour"},
      {10, SpokenPrecision::minutes, "less than a minute"},
      {0, SpokenPrecision::minutes, "less than a minute"},
  };
  for (const auto& [seconds, precision, words] : cases) {
    EXPECT_EQ(words, spokenDuration(seconds, precision)) << seconds;
  }
}

}  // namespace
}  // namespace velto::host::gtk
