#include "extension/format/duration_text.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace velto::format {
namespace {

struct DurationCase {
  double seconds;
  const char* clock;
  const char* compact;
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTwoTo63 = 9223372036854775808.0;

TEST(DurationText, ClockAndCompactTextOfEveryKindOfCount) {
  const DurationCase cases[] = {
      {0, "00:00:00", "0m"},
      {0.4, "00:00:00", "0m"},
      {59.9, "00:00:59", "0m"},
      {60, "00:01:00", "1m"},
      {119.99, "00:01:59", "1m"},
      {3599.9, "00:59:59", "59m"},
      {3600, "01:00:00", "1h 0m"},
      {3661.5, "01:01:01", "1h 1m"},
      {5400, "01:30:00", "1h 30m"},
      {45296, "12:34:56", "12h 34m"},
      {86400, "24:00:00", "24h 0m"},
      {90061, "25:01:01", "25h 1m"},
      {360000, "100:00:00", "100h 0m"},
      {-0.5, "00:00:00", "0m"},
      {-7200, "00:00:00", "0m"},
      // Both round a fraction down, so only the minute boundary shows that
      // neither rounds to nearest.
      {59.999999, "00:00:59", "0m"},
      {std::nextafter(0.0, 1.0), "00:00:00", "0m"},
      // Non-finite and too-large counts have no meaningful text.
      {std::nan(""), "--:--:--", "--"},
      {kInf, "--:--:--", "--"},
      {kTwoTo63, "--:--:--", "--"},
      {1e300, "--:--:--", "--"},
      // Every negative count reads zero, down to −∞.
      {-kTwoTo63, "00:00:00", "0m"},
      {-1e300, "00:00:00", "0m"},
      {-kInf, "00:00:00", "0m"},
      {-0.0, "00:00:00", "0m"},
      // The largest double below 2^63 still fits; its hours print in full,
      // far beyond what a 32-bit field would hold.
      {9223372036854774784.0, "2562047788015215:13:04", "2562047788015215h 13m"},
  };
  for (const DurationCase& c : cases) {
    EXPECT_EQ(c.clock, veltoClockText(c.seconds)) << c.seconds;
    EXPECT_EQ(c.compact, veltoCompactText(c.seconds)) << c.seconds;
  }
}

}  // namespace
}  // namespace velto::format
