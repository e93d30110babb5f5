#include "host/supervisor/supervisor.hpp"

#include <vector>

#include <gtest/gtest.h>

namespace velto::host {
namespace {

using namespace std::chrono_literals;
using Instant = Supervisor::Instant;
using State = Supervisor::State;

const Instant kStart = Instant{} + 100s;

/// Runs a child that dies as soon as it starts, from `from` to `until`, and
/// yields the waits between one death and the next start.
std::vector<std::chrono::milliseconds> crashAtOnce(Supervisor& supervisor, Instant from,
                                                   Instant until) {
  std::vector<std::chrono::milliseconds> waits;
  Instant now = from;
  while (now < until) {
    const SupervisorAction died = supervisor.childExited("exited with status 1", now);
    EXPECT_TRUE(died.restartAt.has_value());
    EXPECT_EQ(died.restartAt, supervisor.nextWake());
    waits.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(*died.restartAt - now));
    // A wake before the restart instant starts nothing.
    EXPECT_FALSE(supervisor.wake(*died.restartAt - 1ms).spawn);
    now = *died.restartAt;
    EXPECT_TRUE(supervisor.wake(now).spawn);
  }
  return waits;
}

TEST(Supervisor, StartsOneChildAndWaitsForNothingWhileItIsWell) {
  Supervisor supervisor;
  EXPECT_TRUE(supervisor.start(kStart).spawn);
  EXPECT_FALSE(supervisor.start(kStart).spawn);
  EXPECT_EQ(State::starting, supervisor.state());
  EXPECT_EQ(SupervisorAction{}, supervisor.childReady(kStart + 10ms));
  EXPECT_EQ(State::ready, supervisor.state());
  EXPECT_EQ(std::nullopt, supervisor.nextWake());
}

TEST(Supervisor, DoublesTheWaitFromAQuarterSecondUpToThirtySeconds) {
  Supervisor supervisor;
  supervisor.start(kStart);
  const auto waits = crashAtOnce(supervisor, kStart, kStart + 200s);
  const std::vector<std::chrono::milliseconds> expected = {250ms, 500ms, 1s,  2s,  4s,  8s, 16s,
                                                           30s,   30s,   30s, 30s, 30s, 30s};
  EXPECT_EQ(expected, waits);
}

TEST(Supervisor, NeverRestartsAChildThatDiesAtOnceFasterThanTheBackoff) {
  Supervisor supervisor;
  supervisor.start(kStart);
  // An hour of a child that dies on start: the first 31.75 s hold 8 restarts,
  // then one every 30 s.
  const auto waits = crashAtOnce(supervisor, kStart, kStart + 1h);
  EXPECT_EQ(8u + (3600 - 31) / 30, waits.size());
}

TEST(Supervisor, AMinuteOfHealthEarnsAnImmediateRestartThenTheShortestWait) {
  struct Case {
    std::chrono::milliseconds healthy;
    bool restartsAtOnce;
    std::chrono::milliseconds waitAfterNextDeath;
  };
  // Three quick deaths first raise the next wait to 2 s.
  const Case cases[] = {{59'999ms, false, 4s}, {60s, true, 250ms}, {3600s, true, 250ms}};
  for (const Case& c : cases) {
    Supervisor supervisor;
    supervisor.start(kStart);
    Instant now = kStart;
    for (int i = 0; i < 3; ++i) {
      now = *supervisor.childExited("exited with status 1", now).restartAt;
      supervisor.wake(now);
    }
    supervisor.childReady(now);
    now += c.healthy;
    const SupervisorAction died = supervisor.childExited("was killed by signal 11", now);
    if (c.restartsAtOnce) {
      EXPECT_TRUE(died.spawn) << c.healthy.count();
      EXPECT_EQ(std::nullopt, died.restartAt) << c.healthy.count();
      EXPECT_EQ("the extension was killed by signal 11; starting it again now", died.log);
      EXPECT_EQ(State::starting, supervisor.state());
    } else {
      EXPECT_FALSE(died.spawn) << c.healthy.count();
      EXPECT_EQ(now + 2s, died.restartAt) << c.healthy.count();
      now = *died.restartAt;
      supervisor.wake(now);
    }
    // The next failure within the healthy window waits again.
    supervisor.childReady(now);
    now += 10s;
    EXPECT_EQ(now + c.waitAfterNextDeath,
              supervisor.childExited("exited with status 1", now).restartAt)
        << c.healthy.count();
  }
}

TEST(Supervisor, AHealthyChildKilledForAFaultIsReplacedAsSoonAsItEnds) {
  Supervisor supervisor;
  supervisor.start(kStart);
  supervisor.childReady(kStart);
  const SupervisorAction fault = supervisor.replyTimedOut("timeline", kStart + 2min);
  EXPECT_TRUE(fault.killProcessGroup);
  EXPECT_FALSE(fault.spawn);
  EXPECT_EQ("the extension did not answer 'timeline' in time; starting it again now", fault.log);
  const SupervisorAction exited = supervisor.childExited("was killed by signal 9", kStart + 2min);
  EXPECT_TRUE(exited.spawn);
  EXPECT_EQ(std::nullopt, exited.restartAt);
  // Its successor failing within the minute waits the shortest time.
  supervisor.childReady(kStart + 2min);
  EXPECT_EQ(kStart + 2min + 1s + 250ms,
            supervisor.childExited("exited with status 1", kStart + 2min + 1s).restartAt);
}

TEST(Supervisor, AHealthyChildThatWasNeverReadyEarnsNoReset) {
  Supervisor supervisor;
  supervisor.start(kStart);
  Instant now = *supervisor.childExited("exited with status 1", kStart).restartAt;
  supervisor.wake(now);
  // Started but never answered: time alone does not count as health.
  now += 10min;
  EXPECT_EQ(now + 500ms, supervisor.childExited("exited with status 1", now).restartAt);
}

TEST(Supervisor, KillsABrokenChildAndCountsItsWaitFromTheFault) {
  Supervisor supervisor;
  supervisor.start(kStart);
  supervisor.childReady(kStart);

  const SupervisorAction fault = supervisor.protocolFault("the answer is garbage", kStart + 5s);
  EXPECT_TRUE(fault.killProcessGroup);
  EXPECT_FALSE(fault.spawn);
  EXPECT_EQ(std::nullopt, fault.restartAt);
  EXPECT_EQ("the answer is garbage; starting it again in 0.25 s", fault.log);
  EXPECT_EQ(State::ending, supervisor.state());
  EXPECT_EQ(std::nullopt, supervisor.nextWake());

  // Later faults of the same child are the same failure.
  EXPECT_EQ(SupervisorAction{}, supervisor.replyTimedOut("timeline", kStart + 5s));

  const SupervisorAction exited = supervisor.childExited("was killed by signal 9", kStart + 5100ms);
  EXPECT_EQ(kStart + 5250ms, exited.restartAt);
  EXPECT_TRUE(exited.log.empty());
  EXPECT_FALSE(exited.killProcessGroup);
  EXPECT_EQ(State::backingOff, supervisor.state());
}

TEST(Supervisor, RestartsAtOnceWhenTheKilledChildTookLongerThanTheWait) {
  Supervisor supervisor;
  supervisor.start(kStart);
  const SupervisorAction late = supervisor.replyTimedOut("timeline", kStart);
  EXPECT_EQ("the extension did not answer 'timeline' in time; starting it again in 0.25 s",
            late.log);
  EXPECT_EQ(kStart + 2s, supervisor.childExited("was killed by signal 9", kStart + 2s).restartAt);
  EXPECT_TRUE(supervisor.wake(kStart + 2s).spawn);
}

TEST(Supervisor, SaysWhyTheChildEndedInOneLine) {
  Supervisor supervisor;
  supervisor.start(kStart);
  const SupervisorAction crashed = supervisor.childExited("was killed by signal 11", kStart);
  EXPECT_EQ("the extension was killed by signal 11; starting it again in 0.25 s", crashed.log);
  // Whatever it left in its process group goes too.
  EXPECT_TRUE(crashed.killProcessGroup);

  supervisor.wake(kStart + 250ms);
  const SupervisorAction failed = supervisor.spawnFailed("No such file or directory", kStart + 1s);
  EXPECT_EQ("cannot start the extension: No such file or directory; starting it again in 0.5 s",
            failed.log);
  EXPECT_EQ(kStart + 1500ms, failed.restartAt);
  EXPECT_FALSE(failed.killProcessGroup);
}

TEST(Supervisor, GivesUpOnAProgramThatCannotRun) {
  // First start and a restart after a crash alike: no retry, no backoff.
  Supervisor first;
  first.start(kStart);
  const SupervisorAction missing = first.cannotRun("cannot run '/x': No such file or directory");
  EXPECT_TRUE(missing.giveUp);
  EXPECT_FALSE(missing.spawn);
  EXPECT_EQ(std::nullopt, missing.restartAt);
  EXPECT_EQ("cannot start the extension: cannot run '/x': No such file or directory", missing.log);
  EXPECT_EQ(State::stopped, first.state());
  EXPECT_EQ(std::nullopt, first.nextWake());

  Supervisor later;
  later.start(kStart);
  later.childReady(kStart);
  later.childExited("was killed by signal 9", kStart + 1s);
  ASSERT_TRUE(later.wake(kStart + 2s).spawn);
  EXPECT_TRUE(later.cannotRun("Permission denied").giveUp);
  EXPECT_EQ(SupervisorAction{}, later.wake(kStart + 1h));

  // Only a start that was asked for can fail so.
  Supervisor ready;
  ready.start(kStart);
  ready.childReady(kStart);
  EXPECT_EQ(SupervisorAction{}, ready.cannotRun("Exec format error"));
  EXPECT_EQ(State::ready, ready.state());
}

TEST(Supervisor, StopsForGood) {
  Supervisor supervisor;
  supervisor.start(kStart);
  supervisor.childReady(kStart);
  EXPECT_TRUE(supervisor.stop().killProcessGroup);
  EXPECT_EQ(State::stopped, supervisor.state());
  EXPECT_EQ(SupervisorAction{}, supervisor.childExited("was killed by signal 9", kStart + 1s));
  EXPECT_EQ(SupervisorAction{}, supervisor.protocolFault("garbage", kStart + 1s));
  EXPECT_EQ(std::nullopt, supervisor.nextWake());

  // While backing off there is no child to kill, and the restart is called off.
  Supervisor waiting;
  waiting.start(kStart);
  waiting.childExited("exited with status 1", kStart);
  EXPECT_FALSE(waiting.stop().killProcessGroup);
  EXPECT_EQ(SupervisorAction{}, waiting.wake(kStart + 1h));
}

}  // namespace
}  // namespace velto::host
