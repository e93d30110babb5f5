#include "extension/timeline/velto_widget_provider.hpp"

#include <optional>
#include <set>
#include <vector>

#include <gtest/gtest.h>

namespace velto::timeline {
namespace {

using model::SharedTimerSnapshot;
using platform::foundation::Calendar;
using platform::foundation::CalendarComponent;
using platform::foundation::Date;
using platform::foundation::TestClock;
using platform::widgets::Timeline;
using platform::widgets::TimelineProviderContext;
using platform::widgets::TimelineReloadPolicy;
using platform::widgets::WidgetFamily;
using platform::widgets::WidgetRelevance;
using State = SharedTimerSnapshot::State;

constexpr double kRequestTime = 786'000'000.25;

/// A calendar that refuses chosen minute offsets and adds the rest as Gregorian.
class RefusingCalendar final : public Calendar {
 public:
  explicit RefusingCalendar(std::set<std::int64_t> refused) : refused_(std::move(refused)) {}

 private:
  std::optional<Date> dateByAdding(CalendarComponent component, std::int64_t value, Date to,
                                   bool wrapping) const override {
    if (refused_.contains(value)) {
      return std::nullopt;
    }
    return Calendar::current().date(component, value, to, wrapping);
  }
  std::set<std::int64_t> refused_;
};

/// A provider over a test clock and a store that hands out one snapshot and counts reads.
struct ProviderFixture {
  explicit ProviderFixture(SharedTimerSnapshot stored, const Calendar* calendar = nullptr)
      : clock(Date(kRequestTime), 1.0),
        provider(VeltoWidgetProvider::Services{&clock, calendar ? calendar : &Calendar::current(),
                                               [this, stored] {
                                                 ++loads;
                                                 return stored;
                                               }}) {}

  Timeline<VeltoWidgetEntry> timeline() {
    std::optional<Timeline<VeltoWidgetEntry>> result;
    int completions = 0;
    provider.getTimeline(TimelineProviderContext{}, [&](Timeline<VeltoWidgetEntry> t) {
      ++completions;
      result.emplace(std::move(t));
    });
    EXPECT_EQ(1, completions);
    return std::move(*result);
  }

  TestClock clock;
  int loads = 0;
  VeltoWidgetProvider provider;
};

SharedTimerSnapshot snapshotIn(State state) {
  return SharedTimerSnapshot(state, "Client work", 600.0, 3540.0, Date(kRequestTime - 120.0));
}

TEST(VeltoWidgetProviderTimeline, SixEntriesAMinuteApartFromOneClockReading) {
  for (State state : {State::stopped, State::running, State::paused}) {
    ProviderFixture fixture(snapshotIn(state));
    const auto timeline = fixture.timeline();

    ASSERT_EQ(6u, timeline.entries.size());
    for (std::size_t i = 0; i < timeline.entries.size(); ++i) {
      EXPECT_EQ(Date(kRequestTime + 60.0 * static_cast<double>(i)), timeline.entries[i].date);
      EXPECT_EQ(snapshotIn(state), timeline.entries[i].snapshot);
    }
    EXPECT_EQ(TimelineReloadPolicy::after(Date(kRequestTime + 300.0)), timeline.policy);
    EXPECT_EQ(timeline.entries.back().date, timeline.policy.date());
    EXPECT_EQ(1, fixture.clock.readings());
    EXPECT_EQ(1, fixture.loads);
  }
}

TEST(VeltoWidgetProviderTimeline, RefusedCalendarAdditionsDropOnlyTheirEntries) {
  struct Case {
    std::set<std::int64_t> refused;
    std::vector<double> offsets;
  };
  const Case cases[] = {
      {{2, 4}, {0, 60, 180, 300}},
      {{0}, {60, 120, 180, 240, 300}},
      {{0, 1, 2, 3, 4, 5}, {}},
  };
  for (const Case& c : cases) {
    RefusingCalendar calendar(c.refused);
    ProviderFixture fixture(snapshotIn(State::running), &calendar);
    const auto timeline = fixture.timeline();
    std::vector<double> offsets;
    for (const auto& entry : timeline.entries) {
      offsets.push_back(entry.date.timeIntervalSince(Date(kRequestTime)));
    }
    EXPECT_EQ(c.offsets, offsets);
    EXPECT_EQ(TimelineReloadPolicy::after(Date(kRequestTime + 300.0)), timeline.policy);
  }
}

TEST(VeltoWidgetProviderSnapshot, ReturnsTheStoredStateForPreviewsToo) {
  for (bool isPreview : {false, true}) {
    ProviderFixture fixture(snapshotIn(State::paused));
    std::optional<VeltoWidgetEntry> entry;
    int completions = 0;
    fixture.provider.getSnapshot(TimelineProviderContext{WidgetFamily::systemMedium, isPreview, {}},
                                 [&](VeltoWidgetEntry e) {
                                   ++completions;
                                   entry = std::move(e);
                                 });
    ASSERT_EQ(1, completions);
    EXPECT_EQ(Date(kRequestTime), entry->date);
    EXPECT_EQ(snapshotIn(State::paused), entry->snapshot);
    EXPECT_EQ(1, fixture.loads);
  }
}

TEST(VeltoWidgetProviderPlaceholder, IsTheDeepWorkSampleAndReadsNoStorage) {
  ProviderFixture fixture(snapshotIn(State::stopped));
  const auto entry = fixture.provider.placeholder(TimelineProviderContext{});

  EXPECT_EQ(0, fixture.loads);
  EXPECT_EQ(Date(kRequestTime), entry.date);
  // The sample's update instant is a second, later reading of the clock.
  EXPECT_EQ(
      SharedTimerSnapshot(State::running, "Deep Work", 4382.0, 10540.0, Date(kRequestTime + 1.0)),
      entry.snapshot);
  EXPECT_LT(entry.date, entry.snapshot.updatedAt);
}

}  // namespace
}  // namespace velto::timeline
