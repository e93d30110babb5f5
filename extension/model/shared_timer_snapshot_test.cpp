#include "extension/model/shared_timer_snapshot.hpp"

#include <cmath>
#include <cstdlib>
#include <latch>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "extension/model/model_test_support.hpp"
#include "platform/foundation/clock.hpp"

namespace velto::model {
namespace {

using platform::foundation::Date;
using State = SharedTimerSnapshot::State;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

SharedTimerSnapshot sample() {
  return SharedTimerSnapshot(State::running, "Deep work", 1500.5, 7200.0, Date(786000000.25));
}

TEST(SharedTimerSnapshotState, RawTextsNameEachStateBothWays) {
  const struct {
    State state;
    std::string_view text;
  } cases[] = {{State::stopped, "stopped"}, {State::running, "running"}, {State::paused, "paused"}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, rawValue(c.state));
    EXPECT_EQ(c.state, stateFromRawValue(c.text)) << c.text;
  }
}

TEST(SharedTimerSnapshotState, NoOtherTextMakesAState) {
  using namespace std::string_view_literals;
  for (const std::string_view text :
       {"Running"sv, "RUNNING"sv, "Stopped"sv, "PAUSED"sv, " running"sv, "running "sv, ""sv,
        "pause"sv, "runningg"sv, "stopped\0"sv, "0"sv, "1"sv}) {
    EXPECT_EQ(std::nullopt, stateFromRawValue(text)) << '"' << text << '"';
  }
}

TEST(SharedTimerSnapshot, EqualityComparesEveryFieldAsSpecified) {
  const auto with = [](auto change) {
    SharedTimerSnapshot snapshot = sample();
    change(snapshot);
    return snapshot;
  };
  const double at = sample().updatedAt.timeIntervalSinceReferenceDate();
  const struct {
    const char* name;
    SharedTimerSnapshot left;
    SharedTimerSnapshot right;
    bool equal;
  } cases[] = {
      {"same fields", sample(), sample(), true},
      {"other state", sample(), with([](auto& s) { s.state = State::paused; }), false},
      {"empty name is not an absent one", with([](auto& s) { s.projectName = ""; }),
       with([](auto& s) { s.projectName.reset(); }), false},
      {"other name", sample(), with([](auto& s) { s.projectName = "deep work"; }), false},
      {"elapsed differs", sample(), with([](auto& s) { s.elapsedSeconds += 1e-9; }), false},
      {"today differs", sample(), with([](auto& s) { s.todaySeconds = 0.0; }), false},
      {"updatedAt one ulp later", sample(),
       with([at](auto& s) { s.updatedAt = Date(std::nextafter(at, 1e300)); }), false},
      {"elapsed NaN on both sides", with([](auto& s) { s.elapsedSeconds = kNaN; }),
       with([](auto& s) { s.elapsedSeconds = kNaN; }), false},
      {"updatedAt NaN on both sides", with([](auto& s) { s.updatedAt = Date(kNaN); }),
       with([](auto& s) { s.updatedAt = Date(kNaN); }), false},
      {"elapsed 0 and -0", with([](auto& s) { s.elapsedSeconds = 0.0; }),
       with([](auto& s) { s.elapsedSeconds = -0.0; }), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.equal, c.left == c.right) << c.name;
    EXPECT_EQ(c.equal, c.right == c.left) << c.name;
    EXPECT_EQ(!c.equal, c.left != c.right) << c.name;
  }
  // A snapshot holding NaN is not even equal to itself.
  const SharedTimerSnapshot withNaN = with([](auto& s) { s.todaySeconds = kNaN; });
  const SharedTimerSnapshot& same = withNaN;
  EXPECT_FALSE(withNaN == same);
}

TEST(SharedTimerSnapshotEmpty, IsAStoppedTimerWithoutProjectOrTime) {
  const SharedTimerSnapshot empty = SharedTimerSnapshot::empty();
  EXPECT_EQ(State::stopped, empty.state);
  EXPECT_EQ(std::nullopt, empty.projectName);
  EXPECT_EQ(0.0, empty.elapsedSeconds);
  EXPECT_EQ(0.0, empty.todaySeconds);
  EXPECT_TRUE(std::isfinite(empty.updatedAt.timeIntervalSinceReferenceDate()));
}

TEST(SharedTimerSnapshotEmpty, EveryReadCarriesTheSameInstant) {
  const SharedTimerSnapshot first = SharedTimerSnapshot::empty();
  const SharedTimerSnapshot second = SharedTimerSnapshot::empty();
  EXPECT_EQ(first, second);
  EXPECT_EQ(first.updatedAt, second.updatedAt);
}

// Runs in a fresh process, so that the threads race for the very first use.
void raceForFirstUse() {
  const Date before = platform::foundation::SystemClock::shared().now();
  constexpr int kThreads = 8;
  std::latch start(kThreads);
  std::vector<Date> seen(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&start, &seen, i] {
        start.arrive_and_wait();
        seen[static_cast<std::size_t>(i)] = SharedTimerSnapshot::empty().updatedAt;
      });
    }
  }
  const Date after = platform::foundation::SystemClock::shared().now();
  for (const Date date : seen) {
    if (date != seen.front()) {
      std::exit(1);
    }
  }
  std::exit(before <= seen.front() && seen.front() <= after ? 0 : 2);
}

TEST(SharedTimerSnapshotEmpty, ThreadsRacingForFirstUseAllGetTheInstantOfThatUse) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(raceForFirstUse(), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace velto::model
