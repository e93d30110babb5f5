#include "host/scheduler/entry_on_display.hpp"

#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/elements.hpp"
#include "tests/support/timeline_entries.hpp"

namespace velto::host {
namespace {

using platform::foundation::Date;

std::optional<std::size_t> shownAt(const std::vector<double>& dates, double instant) {
  std::vector<platform::widgets::protocol::EntryMessage> entries;
  for (double d : dates) {
    entries.push_back(test_support::entryAt(d, platform::ui::Spacer()));
  }
  return entryOnDisplay(entries, Date(instant));
}

TEST(EntryOnDisplay, IsTheOneWhoseDateMostRecentlyPassed) {
  struct Case {
    std::vector<double> dates;
    double instant;
    std::optional<std::size_t> expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {{0, 60, 120}, 0, 0},
      {{0, 60, 120}, 59.9, 0},
      {{0, 60, 120}, 60, 1},
      {{0, 60, 120}, 1e9, 2},
      // Before every date the first entry stands in.
      {{0, 60, 120}, -1, 0},
      {{}, 10, std::nullopt},
      // Unsorted and repeated dates: the latest passed date, the later entry of a tie.
      {{120, 0, 60}, 90, 2},
      {{0, 60, 60}, 61, 2},
      // A date that is not a number never passes.
      {{nan, 30}, 40, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, shownAt(c.dates, c.instant)) << c.instant;
  }
}

}  // namespace
}  // namespace velto::host
