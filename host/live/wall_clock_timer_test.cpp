#include "host/live/wall_clock_timer.hpp"

#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/clock.hpp"
#include "tests/support/run_loop.hpp"

namespace velto::host::live {
namespace {

using platform::foundation::Date;
using platform::foundation::SystemClock;
using testing::runFor;
using testing::runUntil;
using testing::TestContext;

struct Recorder {
  std::vector<WallClockEvent> events;
  WallClockTimer::Callback callback() {
    return [this](WallClockEvent event) { events.push_back(event); };
  }
};

TEST(WallClockTimer, CallsBackOnceTheInstantHasPassed) {
  TestContext context;
  Recorder recorder;
  auto timer = WallClockTimer::create(context.get(), recorder.callback());
  ASSERT_TRUE(timer.has_value()) << timer.error();
  const Date due = SystemClock::shared().now().addingTimeInterval(0.05);
  (*timer)->arm(due);
  ASSERT_TRUE(runUntil(context.get(), [&] { return !recorder.events.empty(); }));
  EXPECT_EQ(WallClockEvent::due, recorder.events.front());
  EXPECT_GE(SystemClock::shared().now(), due);
  EXPECT_FALSE((*timer)->armedFor().has_value());
}

TEST(WallClockTimer, AnInstantAlreadyPastIsDueAtOnce) {
  TestContext context;
  Recorder recorder;
  auto timer = WallClockTimer::create(context.get(), recorder.callback());
  ASSERT_TRUE(timer.has_value()) << timer.error();
  (*timer)->arm(SystemClock::shared().now().addingTimeInterval(-3600));
  ASSERT_TRUE(runUntil(context.get(), [&] { return !recorder.events.empty(); }));
  EXPECT_EQ(WallClockEvent::due, recorder.events.front());
}

TEST(WallClockTimer, ReArmingReplacesTheEarlierInstant) {
  TestContext context;
  Recorder recorder;
  auto timer = WallClockTimer::create(context.get(), recorder.callback());
  ASSERT_TRUE(timer.has_value()) << timer.error();
  const Date now = SystemClock::shared().now();
  (*timer)->arm(now.addingTimeInterval(0.02));
  (*timer)->arm(now.addingTimeInterval(3600));
  runFor(context.get(), std::chrono::milliseconds(200));
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_EQ(now.addingTimeInterval(3600), (*timer)->armedFor());
}

TEST(WallClockTimer, DisarmedAndNonFiniteInstantsNeverCallBack) {
  TestContext context;
  Recorder recorder;
  auto timer = WallClockTimer::create(context.get(), recorder.callback());
  ASSERT_TRUE(timer.has_value()) << timer.error();
  (*timer)->arm(SystemClock::shared().now().addingTimeInterval(0.02));
  (*timer)->disarm();
  runFor(context.get(), std::chrono::milliseconds(100));
  (*timer)->arm(Date(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE((*timer)->armedFor().has_value());
  (*timer)->arm(Date(-std::numeric_limits<double>::infinity()));
  runFor(context.get(), std::chrono::milliseconds(100));
  EXPECT_TRUE(recorder.events.empty());
}

TEST(WallClockTimer, AnInstantBeforeTheUnixEpochIsDueAtOnce) {
  TestContext context;
  Recorder recorder;
  auto timer = WallClockTimer::create(context.get(), recorder.callback());
  ASSERT_TRUE(timer.has_value()) << timer.error();
  (*timer)->arm(Date::fromUnixSeconds(-5e9));
  ASSERT_TRUE(runUntil(context.get(), [&] { return !recorder.events.empty(); }));
  EXPECT_EQ(WallClockEvent::due, recorder.events.front());
}

}  // namespace
}  // namespace velto::host::live
