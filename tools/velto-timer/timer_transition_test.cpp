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

struct Expected {
  State state;
  std::optional<std::string> project;
  double elapsed;
  double today;
};

TEST_F(BerlinTime, CommandsFromEachStateCountTheTimeOnce) {
  const Date ten = at(6, 10, 10);
  const SharedTimerSnapshot running(State::running, "A", 100, 500, ten);
  const SharedTimerSnapshot paused(State::paused, "A", 100, 500, ten);
  const SharedTimerSnapshot stopped(State::stopped, "A", 100, 500, ten);
  const Date halfPast = at(6, 10, 10, 30);
  struct Case {
    const char* name;
    std::optional<SharedTimerSnapshot> current;
    TimerCommand command;
    std::optional<std::string> project;
    Expected next;
  };
  const Case cases[] = {
      {"pause a running timer", running, TimerCommand::pause, {}, {State::paused, "A", 1900, 2300}},
      {"stop a running timer", running, TimerCommand::stop, {}, {State::stopped, "A", 1900, 2300}},
      {"toggle a running timer",
       running,
       TimerCommand::toggle,
       {},
       {State::paused, "A", 1900, 2300}},
      {"resume a paused timer", paused, TimerCommand::resume, {}, {State::running, "A", 100, 500}},
      {"toggle a paused timer", paused, TimerCommand::toggle, {}, {State::running, "A", 100, 500}},
      {"stop a paused timer", paused, TimerCommand::stop, {}, {State::stopped, "A", 100, 500}},
      {"start over a running timer",
       running,
       TimerCommand::start,
       "B",
       {State::running, "B", 0, 2300}},
      {"start over a paused timer",
       paused,
       TimerCommand::start,
       "B",
       {State::running, "B", 0, 500}},
      {"start after a stopped timer",
       stopped,
       TimerCommand::start,
       {},
       {State::running, std::nullopt, 0, 500}},
      {"start with nothing stored",
       std::nullopt,
       TimerCommand::start,
       "",
       {State::running, "", 0, 0}},
  };
  for (const Case& c : cases) {
    const auto next = applyCommand(c.current, c.command, c.project, halfPast, zone_);
    ASSERT_TRUE(next.has_value()) << c.name;
    ASSERT_TRUE(next->has_value()) << c.name;
    EXPECT_EQ(
        SharedTimerSnapshot(c.next.state, c.next.project, c.next.elapsed, c.next.today, halfPast),
        **next)
        << c.name;
  }
}

TEST_F(BerlinTime, CommandsThatFindTheTimerAsAskedChangeNothing) {
  const Date ten = at(6, 10, 10);
  const SharedTimerSnapshot running(State::running, "A", 100, 500, ten);
  const SharedTimerSnapshot paused(State::paused, "A", 100, 500, ten);
  const SharedTimerSnapshot stopped(State::stopped, "A", 100, 500, ten);
  const struct {
    std::optional<SharedTimerSnapshot> current;
    TimerCommand command;
  } cases[] = {
      {paused, TimerCommand::pause},
      {running, TimerCommand::resume},
      {stopped, TimerCommand::stop},
      {std::nullopt, TimerCommand::stop},
  };
  for (const auto& c : cases) {
    const auto next = applyCommand(c.current, c.command, {}, at(6, 10, 11), zone_);
    ASSERT_TRUE(next.has_value()) << commandName(c.command);
    EXPECT_EQ(std::nullopt, *next) << commandName(c.command);
  }
}

TEST_F(BerlinTime, RefusesCommandsThatNeedATimerAndChangesBeforeTheLastOne) {
  const Date ten = at(6, 10, 10);
  const SharedTimerSnapshot stopped(State::stopped, "A", 100, 500, ten);
  const SharedTimerSnapshot running(State::running, "A", 100, 500, ten);
  const struct {
    std::optional<SharedTimerSnapshot> current;
    TimerCommand command;
    Date at;
    Kind kind;
  } cases[] = {
      {stopped, TimerCommand::pause, at(6, 10, 11), Kind::noTimer},
      {stopped, TimerCommand::resume, at(6, 10, 11), Kind::noTimer},
      {stopped, TimerCommand::toggle, at(6, 10, 11), Kind::noTimer},
      {std::nullopt, TimerCommand::toggle, at(6, 10, 11), Kind::noTimer},
      {std::nullopt, TimerCommand::pause, at(6, 10, 11), Kind::noTimer},
      {running, TimerCommand::pause, at(6, 10, 9, 59), Kind::beforeUpdate},
      {running, TimerCommand::start, ten.addingTimeInterval(-0.001), Kind::beforeUpdate},
      {stopped, TimerCommand::stop, at(6, 9, 10), Kind::beforeUpdate},
  };
  for (const auto& c : cases) {
    const auto next = applyCommand(c.current, c.command, {}, c.at, zone_);
    ASSERT_FALSE(next.has_value()) << commandName(c.command);
    EXPECT_EQ(c.kind, next.error().kind) << commandName(c.command);
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

TEST_F(BerlinTime, StatusEscapesWhatWouldSteerTheTerminal) {
  const struct {
    std::string_view name;
    std::string_view shown;
  } names[] = {
      {"a\nb\tc", "a\\nb\\tc"},
      {"a\x1b[31mb", "a\\u001b[31mb"},
      {"a\x7f", "a\\u007f"},
      {"a\xc2\x9b"
       "31mb",
       "a\\u009b31mb"},  // CSI
      {"a\xc2\x9d"
       "0;x\xc2\x9c",
       "a\\u009d0;x\\u009c"},                            // OSC ... ST
      {"abc\xe2\x80\xaetxt.exe", "abc\\u202etxt.exe"},   // RIGHT-TO-LEFT OVERRIDE
      {"Caf\xc3\xa9 \xff", "Caf\xc3\xa9 \xef\xbf\xbd"},  // é kept, a stray byte replaced
      {"back\\slash", "back\\\\slash"},
  };
  for (const auto& c : names) {
    const SharedTimerSnapshot stored(State::stopped, std::string(c.name), 0, 60, at(6, 10, 10));
    EXPECT_EQ("stopped · " + std::string(c.shown) + " · 00:00:00 · today 1m",
              statusLine(stored, at(6, 10, 11), zone_))
        << c.shown;
  }
}

}  // namespace
}  // namespace velto::timer
