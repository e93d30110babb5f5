#include "tools/velto-timer/change_instant.hpp"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/scoped_time_zone.hpp"
#include "tools/velto-timer/time_zone.hpp"

namespace velto::timer {
namespace {

using model::SharedTimerSnapshot;
using platform::foundation::Date;
using State = SharedTimerSnapshot::State;

// Noon of a day well after 2001, so that an updatedAt written as Unix seconds
// lands decades ahead.
const Date kNow = Date::fromUnixSeconds(1'780'000'000);

SharedTimerSnapshot runningSince(Date updatedAt) {
  return {State::running, "Deep Work", 60, 60, updatedAt};
}

TEST(PlanChange, DecidesTheInstantOfACommand) {
  // Unix seconds where seconds since 2001 belong.
  const Date unixMistake(kNow.timeIntervalSinceReferenceDate() + 978'307'200);
  const Date aMinuteAgo = kNow.addingTimeInterval(-60);
  const Date aMinuteAhead = kNow.addingTimeInterval(60);
  const struct {
    const char* name;
    std::optional<Date> updatedAt;  // none: no stored timer
    TimerCommand command;
    std::optional<Date> requested;
    Date at;
    std::optional<Date> storedAfter;
    bool distrusted;
  } cases[] = {
      {"no timer", std::nullopt, TimerCommand::start, std::nullopt, kNow, std::nullopt, false},
      {"a past change", aMinuteAgo, TimerCommand::pause, std::nullopt, kNow, aMinuteAgo, false},
      {"a --at", aMinuteAgo, TimerCommand::pause, kNow.addingTimeInterval(-30),
       kNow.addingTimeInterval(-30), aMinuteAgo, false},
      {"a clock a little ahead, pause", aMinuteAhead, TimerCommand::pause, std::nullopt,
       aMinuteAhead, aMinuteAhead, false},
      {"a clock a little ahead, start", aMinuteAhead, TimerCommand::start, std::nullopt, kNow, kNow,
       false},
      {"a clock a little ahead, --at before it", aMinuteAhead, TimerCommand::pause, aMinuteAgo,
       aMinuteAgo, aMinuteAhead, false},
      {"a wrong epoch, start", unixMistake, TimerCommand::start, std::nullopt, kNow, kNow, true},
      {"a wrong epoch, toggle", unixMistake, TimerCommand::toggle, std::nullopt, kNow, kNow, true},
      {"a wrong epoch, --at", unixMistake, TimerCommand::stop, aMinuteAgo, aMinuteAgo, aMinuteAgo,
       true},
      {"just past the trusted lead", kNow.addingTimeInterval(kTrustedLeadSeconds + 1),
       TimerCommand::start, std::nullopt, kNow, kNow, true},
  };
  for (const auto& c : cases) {
    std::optional<SharedTimerSnapshot> current;
    if (c.updatedAt) {
      current = runningSince(*c.updatedAt);
    }
    const PlannedChange plan = planChange(current, c.command, c.requested, kNow);
    EXPECT_EQ(c.at, plan.at) << c.name;
    EXPECT_EQ(c.distrusted, plan.distrustedUpdate) << c.name;
    ASSERT_EQ(c.storedAfter.has_value(), plan.current.has_value()) << c.name;
    if (c.storedAfter) {
      EXPECT_EQ(*c.storedAfter, plan.current->updatedAt) << c.name;
      EXPECT_EQ(60, plan.current->elapsedSeconds) << c.name;
    }
  }
}

TEST(PlanChange, LetsEveryCommandRunOnATimerFromAWrongEpoch) {
  const test_support::ScopedTimeZone utc{"UTC"};
  const SystemTimeZone zone;
  const SharedTimerSnapshot future =
      runningSince(Date(kNow.timeIntervalSinceReferenceDate() + 978'307'200));
  for (const TimerCommand command :
       {TimerCommand::start, TimerCommand::pause, TimerCommand::toggle, TimerCommand::stop}) {
    for (const std::optional<Date> requested :
         {std::optional<Date>(), std::optional(kNow.addingTimeInterval(-600))}) {
      const PlannedChange plan = planChange(future, command, requested, kNow);
      const auto next = applyCommand(plan.current, command, "Fresh", plan.at, zone);
      ASSERT_TRUE(next.has_value()) << commandName(command) << ": " << next.error().message;
      ASSERT_TRUE(next->has_value()) << commandName(command);
      EXPECT_EQ(requested.value_or(kNow), (*next)->updatedAt) << commandName(command);
      // The unknown interval up to the wrong instant adds nothing.
      EXPECT_EQ(command == TimerCommand::start ? 0 : 60, (*next)->elapsedSeconds)
          << commandName(command);
    }
  }
}

}  // namespace
}  // namespace velto::timer
