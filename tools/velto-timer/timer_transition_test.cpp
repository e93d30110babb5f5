#include "tools/velto-timer/timer_transition.hpp"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/scoped_time_zone.hpp"
#include "tools/velto-timer/status_text.hpp"
#include "tools/velto-timer/time_zone.hpp"

namespace velto::timer {
namespace {

using model::SharedTimerSnapshot;
using platform::foundation::Date;
using State = SharedTimerSnapshot::State;
using Kind = TransitionError::Kind;

constexpr double kHour = 3600;

class BerlinTime : public ::testing::Test {
 protected:
  /// The instant that Berlin's clocks show as the given reading in 2026.
  Date at(int month, int day, int hour, int minute = 0, int second = 0) const {
    const auto instant = zone_.fromLocal({2026, month, day, hour, minute, second});
    EXPECT_TRUE(instant.has_value()) << month << "-" << day << " " << hour << ":" << minute;
    return instant.value_or(Date());
  }

  test_support::ScopedTimeZone berlin_{"Europe/Berlin"};
  SystemTimeZone zone_;
};

/// What a command leads to: a new snapshot, no change, or a refusal.
struct Outcome {
  std::optional<State> state;  // none: refused, or unchanged when `refusal` is none too
  std::optional<std::string> project;
  double elapsed = 0;
  double today = 0;
  std::optional<Kind> refusal;
};

Outcome becomes(State state, std::optional<std::string> project, double elapsed, double today) {
  return {state, std::move(project), elapsed, today, std::nullopt};
}
const Outcome kUnchanged{};
Outcome refused(Kind kind) {
  return {std::nullopt, std::nullopt, 0, 0, kind};
}

TEST_F(BerlinTime, EveryCommandFromEveryStateCountsTheTimeOnce) {
  const Date ten = at(6, 10, 10);
  const Date halfPast = at(6, 10, 10, 30);
  const SharedTimerSnapshot running(State::running, "A", 100, 500, ten);
  const SharedTimerSnapshot paused(State::paused, "A", 100, 500, ten);
  const SharedTimerSnapshot stopped(State::stopped, "A", 100, 500, ten);
  const std::optional<SharedTimerSnapshot> none;
  using enum TimerCommand;
  struct Case {
    std::optional<SharedTimerSnapshot> current;
    TimerCommand command;
    std::optional<std::string> project;
    Date at;
    Outcome outcome;
  };
  const Case cases[] = {
      {running, pause, {}, halfPast, becomes(State::paused, "A", 1900, 2300)},
      {running, stop, {}, halfPast, becomes(State::stopped, "A", 1900, 2300)},
      {running, toggle, {}, halfPast, becomes(State::paused, "A", 1900, 2300)},
      {running, start, "B", halfPast, becomes(State::running, "B", 0, 2300)},
      {running, resume, {}, halfPast, kUnchanged},
      {paused, resume, {}, halfPast, becomes(State::running, "A", 100, 500)},
      {paused, toggle, {}, halfPast, becomes(State::running, "A", 100, 500)},
      {paused, stop, {}, halfPast, becomes(State::stopped, "A", 100, 500)},
      {paused, start, "B", halfPast, becomes(State::running, "B", 0, 500)},
      {paused, pause, {}, halfPast, kUnchanged},
      {stopped, start, {}, halfPast, becomes(State::running, std::nullopt, 0, 500)},
      {stopped, stop, {}, halfPast, kUnchanged},
      {stopped, pause, {}, halfPast, refused(Kind::noTimer)},
      {stopped, resume, {}, halfPast, refused(Kind::noTimer)},
      {stopped, toggle, {}, halfPast, refused(Kind::noTimer)},
      {none, start, "", halfPast, becomes(State::running, "", 0, 0)},
      {none, stop, {}, halfPast, kUnchanged},
      {none, toggle, {}, halfPast, refused(Kind::noTimer)},
      {none, pause, {}, halfPast, refused(Kind::noTimer)},
      // A change dated before the last one.
      {running, pause, {}, at(6, 10, 9, 59), refused(Kind::beforeUpdate)},
      {running, start, {}, ten.addingTimeInterval(-0.001), refused(Kind::beforeUpdate)},
      {stopped, stop, {}, at(6, 9, 10), refused(Kind::beforeUpdate)},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.current ? rawValue(c.current->state) : "nothing") + " + "
                             + std::string(commandName(c.command));
    const auto next = applyCommand(c.current, c.command, c.project, c.at, zone_);
    if (c.outcome.refusal) {
      ASSERT_FALSE(next.has_value()) << name;
      EXPECT_EQ(*c.outcome.refusal, next.error().kind) << name;
      continue;
    }
    ASSERT_TRUE(next.has_value()) << name << ": " << static_cast<int>(next.error().kind);
    if (!c.outcome.state) {
      EXPECT_EQ(std::nullopt, *next) << name;
      continue;
    }
    ASSERT_TRUE(next->has_value()) << name;
    EXPECT_EQ(SharedTimerSnapshot(*c.outcome.state, c.outcome.project, c.outcome.elapsed,
                                  c.outcome.today, c.at),
              **next)
        << name;
  }
}

TEST_F(BerlinTime, TheDaysTotalStartsAfreshAtLocalMidnight) {
  struct Case {
    const char* name;
    SharedTimerSnapshot current;
    TimerCommand command;
    Date at;
    double elapsed;
    double today;
  };
  const Case cases[] = {
      {"running into the next day",
       {State::running, "A", 100, 5000, at(6, 10, 23)},
       TimerCommand::pause,
       at(6, 11, 1),
       100 + 2 * kHour,
       1 * kHour},
      {"running until exactly midnight",
       {State::running, "A", 100, 5000, at(6, 10, 23)},
       TimerCommand::pause,
       at(6, 11, 0),
       100 + kHour,
       0},
      {"running until just before midnight",
       {State::running, "A", 100, 5000, at(6, 10, 23)},
       TimerCommand::stop,
       at(6, 10, 23, 59, 59),
       100 + 3599,
       5000 + 3599},
      {"running over several days",
       {State::running, "A", 0, 0, at(6, 8, 22)},
       TimerCommand::stop,
       at(6, 11, 0, 30),
       50.5 * kHour,
       0.5 * kHour},
      {"paused into the next day",
       {State::paused, "A", 100, 5000, at(6, 10, 23)},
       TimerCommand::resume,
       at(6, 11, 8),
       100,
       0},
      {"paused at exactly midnight",
       {State::paused, "A", 100, 5000, at(6, 11, 0)},
       TimerCommand::resume,
       at(6, 11, 8),
       100,
       5000},
      {"started the next day",
       {State::stopped, "A", 100, 5000, at(6, 10, 23)},
       TimerCommand::start,
       at(6, 11, 8),
       0,
       0},
      {"the day clocks go forward",
       {State::running, "A", 0, 0, at(3, 29, 0, 30)},
       TimerCommand::pause,
       at(3, 29, 23, 30),
       22 * kHour,
       22 * kHour},
      {"into the day clocks go forward",
       {State::running, "A", 0, 0, at(3, 28, 23)},
       TimerCommand::pause,
       at(3, 29, 12),
       12 * kHour,
       11 * kHour},
      {"the day clocks go back",
       {State::running, "A", 0, 0, at(10, 25, 0, 30)},
       TimerCommand::pause,
       at(10, 25, 23, 30),
       24 * kHour,
       24 * kHour},
      {"into the day clocks go back",
       {State::running, "A", 0, 0, at(10, 24, 23)},
       TimerCommand::pause,
       at(10, 25, 12),
       14 * kHour,
       13 * kHour},
  };
  for (const Case& c : cases) {
    const auto next = applyCommand(c.current, c.command, "A", c.at, zone_);
    ASSERT_TRUE(next.has_value() && next->has_value()) << c.name;
    EXPECT_EQ(c.elapsed, (*next)->elapsedSeconds) << c.name;
    EXPECT_EQ(c.today, (*next)->todaySeconds) << c.name;
  }
}

TEST_F(BerlinTime, DaysStartAtLocalMidnightWhateverTheirLength) {
  // 2026-03-29 00:00 CET is 2026-03-28 23:00 UTC; 2026-04-30 00:00 CEST is 22:00 UTC the day
  // before.
  EXPECT_EQ(Date::fromUnixSeconds(1774738800), zone_.startOfDay(at(3, 29, 23)));
  EXPECT_EQ(Date::fromUnixSeconds(1777500000),
            zone_.startOfDay(Date::fromUnixSeconds(1777500000 + 5 * kHour)));
  EXPECT_EQ(Date::fromUnixSeconds(1777500000), zone_.startOfDay(Date::fromUnixSeconds(1777500000)));
  EXPECT_EQ(25 * kHour, at(10, 26, 0).timeIntervalSince(zone_.startOfDay(at(10, 25, 12))));
  EXPECT_EQ(23 * kHour, at(3, 30, 0).timeIntervalSince(zone_.startOfDay(at(3, 29, 12))));
}

TEST_F(BerlinTime, StatusShowsTheTimesAsTheyStandNow) {
  const SharedTimerSnapshot running(State::running, "Deep Work", 4382, 10500 - 60, at(6, 10, 10));
  EXPECT_EQ("running · Deep Work · 01:14:02 · today 2h 55m",
            statusLine(running, at(6, 10, 10, 1), zone_));
  const SharedTimerSnapshot paused(State::paused, std::nullopt, 2, 2, at(6, 10, 10));
  EXPECT_EQ("paused · no project · 00:00:02 · today 0m", statusLine(paused, at(6, 11, 9), zone_));
  EXPECT_EQ("stopped · no timer", statusLine(std::nullopt, at(6, 10, 11), zone_));
}

}  // namespace
}  // namespace velto::timer
