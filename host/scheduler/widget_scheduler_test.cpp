#include "host/scheduler/widget_scheduler.hpp"

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/timeline_entries.hpp"

namespace platform::foundation {
void PrintTo(Date date, std::ostream* out) {
  *out << date.timeIntervalSinceReferenceDate();
}
}  // namespace platform::foundation

namespace velto::host {
namespace {

using platform::foundation::Date;
using platform::ui::Text;
using platform::ui::View;
using platform::ui::VStack;
using platform::widgets::TimelineReloadPolicy;
using platform::widgets::WidgetFamily;
using platform::widgets::protocol::TimelineMessage;
using test_support::DatedView;
using test_support::entryAt;
using test_support::timelineOf;
using Draw = SchedulerStep::Draw;

View plain(const std::string& text) {
  return Text::verbatim(text);
}

View ticking(const std::string& text, double anchor) {
  return VStack({Text::verbatim(text), Text::timer(Date(anchor))});
}

/// The extension's usual timeline: six entries a minute apart from `now`, all
/// showing `view`, and a reload after five minutes.
TimelineMessage usual(double now, const View& view) {
  std::vector<DatedView> entries;
  for (int i = 0; i < 6; ++i) {
    entries.emplace_back(now + 60.0 * i, view);
  }
  return timelineOf(std::move(entries), TimelineReloadPolicy::after(Date(now + 300)));
}

/// What the scheduler did at one instant.
struct Event {
  double at;
  Draw draw;
  std::optional<ReloadReason> reload;

  friend bool operator==(const Event&, const Event&) = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
  out << "{" << e.at << " draw " << static_cast<int>(e.draw);
  if (e.reload) {
    out << " reload " << name(*e.reload);
  }
  return out << "}";
}

/// Drives a scheduler as the event loop does: advance at every wake, and answer
/// each reload at once with what `extension` makes (nothing: the reload fails).
class Simulation {
 public:
  using Extension = std::function<std::optional<TimelineMessage>(double now)>;

  explicit Simulation(Extension extension) : extension_(std::move(extension)) {}

  /// Runs from `from` until the next wake lies past `until` or none is wanted.
  std::vector<Event> run(double from, double until) {
    std::vector<Event> events;
    std::optional<double> now = from;
    int atOneInstant = 0;
    double previous = std::numeric_limits<double>::quiet_NaN();
    while (now && *now <= until) {
      // A scheduler that keeps waking at one instant spins the host.
      atOneInstant = *now == previous ? atOneInstant + 1 : 0;
      if (atOneInstant > 3) {
        ADD_FAILURE() << "woken again and again at " << *now;
        break;
      }
      previous = *now;
      now = step(*now, events);
    }
    return events;
  }

  /// One advance at `now`, recorded when it does something; yields the next wake.
  std::optional<double> step(double now, std::vector<Event>& events) {
    SchedulerStep done = scheduler.advance(Date(now));
    if (done.draw != Draw::none || done.reload) {
      events.push_back({now, done.draw, done.reload});
    }
    if (done.draw != Draw::none) {
      drawnAt.push_back(done.instant.timeIntervalSinceReferenceDate());
    }
    if (done.reload) {
      if (auto made = extension_(now)) {
        scheduler.timelineArrived(std::move(*made));
      } else {
        scheduler.reloadFailed();
      }
      return now;
    }
    if (!done.wakeAt) {
      return std::nullopt;
    }
    return done.wakeAt->timeIntervalSinceReferenceDate();
  }

  WidgetScheduler scheduler{"VeltoTimerWidget", WidgetFamily::systemSmall};
  std::vector<double> drawnAt;

 private:
  Extension extension_;
};

const View kStopped = plain("00:12:00");

TEST(WidgetScheduler, AsksForATimelineFirstThenWakesOnlyAtTheReloadWhileNothingCanChange) {
  Simulation sim([](double now) { return usual(now, kStopped); });
  // Six equal entries: nothing to draw at their dates, and no wake for them.
  const auto events = sim.run(1000, 1700);
  EXPECT_EQ((std::vector<Event>{{1000, Draw::none, ReloadReason::initial},
                                {1000, Draw::show, std::nullopt},
                                {1300, Draw::none, ReloadReason::policy},
                                {1600, Draw::none, ReloadReason::policy}}),
            events);
  EXPECT_EQ(kStopped, sim.scheduler.scene().view);
  EXPECT_FALSE(sim.scheduler.scene().redacted);
  EXPECT_EQ(WidgetFamily::systemSmall, sim.scheduler.scene().family);
}

TEST(WidgetScheduler, ShowsTheEntryWhoseDateMostRecentlyPassed) {
  const View a = plain("a"), b = plain("b"), c = plain("c");
  Simulation sim([&](double) {
    return timelineOf({{100, a}, {160, b}, {220, c}}, TimelineReloadPolicy::never());
  });
  std::vector<Event> events;
  // Before the first date the first entry stands in.
  sim.step(50, events);
  sim.step(50, events);
  EXPECT_EQ(a, sim.scheduler.scene().view);
  EXPECT_EQ(std::optional(Date(160)), sim.scheduler.nextWake(Date(50)));
  struct Case {
    double at;
    const View* shown;
    std::optional<double> nextWake;
  };
  const Case cases[] = {
      {159.5, &a, 160},        {160, &b, 220},           {219, &b, 220},
      {220, &c, std::nullopt}, {5000, &c, std::nullopt},
  };
  for (const Case& when : cases) {
    const SchedulerStep step = sim.scheduler.advance(Date(when.at));
    EXPECT_EQ(*when.shown, sim.scheduler.scene().view) << when.at;
    EXPECT_EQ(when.nextWake, step.wakeAt
                                 ? std::optional(step.wakeAt->timeIntervalSinceReferenceDate())
                                 : std::nullopt)
        << when.at;
  }
}

TEST(WidgetScheduler, TicksOnEverySecondBoundaryOnlyWhileATimerIsShown) {
  const View running = ticking("Deep Work", 900.4);
  int reloads = 0;
  Simulation sim([&](double now) {
    ++reloads;
    // The first timeline runs, the next one is paused.
    return reloads == 1 ? usual(now, running) : usual(now, kStopped);
  });
  const auto events = sim.run(1000.25, 1310);
  // Shown at 1000.25, drawn as of 1000; then one tick per whole second up to the reload.
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ((Event{1000.25, Draw::show, std::nullopt}), events[1]);
  EXPECT_EQ((Event{1001, Draw::tick, std::nullopt}), events[2]);
  EXPECT_EQ((Event{1002, Draw::tick, std::nullopt}), events[3]);
  int ticks = 0;
  for (const Event& e : events) {
    if (e.draw == Draw::tick) {
      ++ticks;
      EXPECT_EQ(std::floor(e.at), e.at);
    }
  }
  EXPECT_EQ(300, ticks);  // 1001 … 1300; at 1300.25 the paused picture arrives
  EXPECT_EQ((Event{1300.25, Draw::show, std::nullopt}), events.back());
  EXPECT_FALSE(sim.scheduler.ticking());
  EXPECT_EQ(1000.0, sim.drawnAt.front());
  // Paused: the next wake is the reload, not the next second.
  EXPECT_EQ(std::optional(Date(1600.25)), sim.scheduler.nextWake(Date(1300.25)));
}

TEST(WidgetScheduler, ATickAWhiskerEarlyDrawsTheSecondItWasMeantFor) {
  Simulation sim([](double now) { return usual(now, ticking("x", 0)); });
  sim.run(1000, 1000);
  const SchedulerStep step = sim.scheduler.advance(Date(1000.9999));
  EXPECT_EQ(Draw::tick, step.draw);
  EXPECT_EQ(Date(1001), step.instant);
  EXPECT_EQ(std::optional(Date(1002)), step.wakeAt);
  // A second wake within the same second draws nothing.
  EXPECT_EQ(Draw::none, sim.scheduler.advance(Date(1001.2)).draw);
}

TEST(WidgetScheduler, ReloadsAtThePolicyDateAndNotBefore) {
  Simulation sim([](double now) { return usual(now, kStopped); });
  sim.run(1000, 1000);
  EXPECT_EQ(std::nullopt, sim.scheduler.advance(Date(1299.999)).reload);
  EXPECT_EQ(ReloadReason::policy, sim.scheduler.advance(Date(1300)).reload);
  EXPECT_TRUE(sim.scheduler.reloadInFlight());
  // Waiting on the answer, nothing wakes the widget for a reload.
  EXPECT_EQ(std::nullopt, sim.scheduler.nextWake(Date(1300)));
  EXPECT_EQ(std::nullopt, sim.scheduler.advance(Date(1400)).reload);
}

TEST(WidgetScheduler, ReloadsAtTheEndOfAnAtEndTimeline) {
  Simulation sim([](double now) {
    return timelineOf({{now, plain("a")}, {now + 90, plain("b")}}, TimelineReloadPolicy::atEnd());
  });
  const auto events = sim.run(1000, 1200);
  EXPECT_EQ((std::vector<Event>{{1000, Draw::none, ReloadReason::initial},
                                {1000, Draw::show, std::nullopt},
                                {1090, Draw::show, ReloadReason::policy},
                                {1090, Draw::show, std::nullopt},
                                {1180, Draw::show, ReloadReason::policy},
                                {1180, Draw::show, std::nullopt}}),
            events);
}

TEST(WidgetScheduler, ReloadsPolicyDatesInThePastAtMostEveryFiveSeconds) {
  struct Case {
    const char* name;
    Simulation::Extension extension;
  };
  const Case cases[] = {
      {"after a past date",
       [](double now) {
         return timelineOf({{now, plain("x")}}, TimelineReloadPolicy::after(Date(now - 3600)));
       }},
      {"after the request instant",
       [](double now) {
         return timelineOf({{now, plain("x")}}, TimelineReloadPolicy::after(Date(now)));
       }},
      {"after a date that is not a number",
       [](double now) {
         return timelineOf(
             {{now, plain("x")}},
             TimelineReloadPolicy::after(Date(std::numeric_limits<double>::quiet_NaN())));
       }},
      {"at the end of an empty timeline",
       [](double) { return timelineOf({}, TimelineReloadPolicy::atEnd()); }},
      {"a failing extension", [](double) { return std::optional<TimelineMessage>(); }},
  };
  for (const Case& c : cases) {
    Simulation sim(c.extension);
    int reloads = 0;
    double last = -1e9;
    for (const Event& e : sim.run(1000, 1060)) {
      if (e.reload) {
        ++reloads;
        EXPECT_GE(e.at - last, WidgetScheduler::kMinReloadInterval) << c.name;
        last = e.at;
      }
    }
    EXPECT_EQ(13, reloads) << c.name;  // 1000, 1005, … 1060
  }
}

TEST(WidgetScheduler, NeverReloadsOnItsOwnUnderANeverPolicy) {
  Simulation sim([](double now) {
    return timelineOf({{now, plain("x")}}, TimelineReloadPolicy::never());
  });
  const auto events = sim.run(1000, 1e9);
  EXPECT_EQ(2u, events.size());
  EXPECT_EQ(std::nullopt, sim.scheduler.nextWake(Date(1000)));
}

TEST(WidgetScheduler, FollowsAClockSetForwardAndReloadsWhenItPassedTheReloadDate) {
  const View running = ticking("x", 0);
  Simulation sim([&](double now) {
    return timelineOf({{now, plain("first")}, {now + 60, running}},
                      TimelineReloadPolicy::after(Date(now + 300)));
  });
  sim.run(1000, 1000);
  // Forward by less than the timeline covers: the readout follows, no reload.
  sim.scheduler.clockChanged();
  SchedulerStep step = sim.scheduler.advance(Date(1100));
  EXPECT_EQ(Draw::show, step.draw);
  EXPECT_EQ(running, sim.scheduler.scene().view);
  EXPECT_EQ(std::nullopt, step.reload);
  // Forward past the reload date (a suspend, say): reload at once.
  step = sim.scheduler.advance(Date(90000.5));
  EXPECT_EQ(Draw::tick, step.draw);
  EXPECT_EQ(Date(90000), step.instant);
  EXPECT_EQ(ReloadReason::policy, step.reload);
}

TEST(WidgetScheduler, FollowsAClockSetBackAndReloadsAtOnce) {
  const View a = plain("a"), b = plain("b");
  Simulation sim([&](double now) {
    return timelineOf({{now, a}, {now + 60, b}}, TimelineReloadPolicy::after(Date(now + 300)));
  });
  sim.run(1000, 1000);
  sim.scheduler.advance(Date(1061));
  EXPECT_EQ(b, sim.scheduler.scene().view);

  // Set back an hour: the first entry is on display again, and the timeline,
  // made for another time, is asked for anew even though a reload just went out.
  const SchedulerStep step = sim.scheduler.advance(Date(1061 - 3600));
  EXPECT_EQ(Draw::show, step.draw);
  EXPECT_EQ(a, sim.scheduler.scene().view);
  EXPECT_EQ(ReloadReason::clockChanged, step.reload);

  // The reload pace counts from the new time, not from the old one an hour ahead.
  sim.scheduler.timelineArrived(
      timelineOf({{1061 - 3600, a}}, TimelineReloadPolicy::after(Date(-1e6))));
  EXPECT_EQ(std::optional(Date(1061 - 3600 + WidgetScheduler::kMinReloadInterval)),
            sim.scheduler.advance(Date(1061 - 3600)).wakeAt);
}

TEST(WidgetScheduler, ReloadsAtOnceWhenTheDefaultsChangeAndCoalescesWhileOneIsInFlight) {
  Simulation sim([](double now) { return usual(now, kStopped); });
  sim.run(1000, 1000);
  // Straight after the initial reload: a change is not held to the reload pace.
  sim.scheduler.defaultsChanged();
  EXPECT_EQ(std::optional(Date(1000.5)), sim.scheduler.nextWake(Date(1000.5)));
  SchedulerStep step = sim.scheduler.advance(Date(1000.5));
  EXPECT_EQ(ReloadReason::defaultsChanged, step.reload);

  // Three more changes while that reload is in flight make one more reload.
  for (int i = 0; i < 3; ++i) {
    sim.scheduler.defaultsChanged();
    EXPECT_EQ(std::nullopt, sim.scheduler.advance(Date(1000.6)).reload);
  }
  sim.scheduler.timelineArrived(usual(1000.5, kStopped));
  EXPECT_EQ(ReloadReason::defaultsChanged, sim.scheduler.advance(Date(1000.7)).reload);
  sim.scheduler.timelineArrived(usual(1000.7, kStopped));
  step = sim.scheduler.advance(Date(1000.8));
  EXPECT_EQ(std::nullopt, step.reload);
  EXPECT_EQ(std::optional(Date(1300.7)), step.wakeAt);
}

TEST(WidgetScheduler, KeepsTheLastGoodTimelineWhenAReloadFails) {
  const View good = ticking("good", 0);
  bool healthy = true;
  Simulation sim(
      [&](double now) { return healthy ? usual(now, good) : std::optional<TimelineMessage>(); });
  sim.run(1000, 1000);
  healthy = false;
  const auto events = sim.run(1300, 1311);
  // The readout keeps ticking from the old timeline while reloads are retried
  // at the reload pace.
  std::vector<double> reloads;
  for (const Event& e : events) {
    EXPECT_NE(Draw::show, e.draw) << e;
    if (e.reload) {
      reloads.push_back(e.at);
    }
  }
  EXPECT_EQ((std::vector<double>{1300, 1305, 1310}), reloads);
  EXPECT_EQ(good, sim.scheduler.scene().view);
  ASSERT_TRUE(sim.scheduler.timeline().has_value());
  EXPECT_EQ(6u, sim.scheduler.timeline()->entries.size());
}

TEST(WidgetScheduler, RedrawsNothingWhenANewTimelineShowsTheSamePicture) {
  Simulation sim([](double now) { return usual(now, kStopped); });
  sim.run(1000, 1000);
  sim.scheduler.defaultsChanged();
  std::vector<Event> events;
  sim.step(1010, events);
  sim.step(1010, events);
  EXPECT_EQ((std::vector<Event>{{1010, Draw::none, ReloadReason::defaultsChanged}}), events);
}

TEST(WidgetScheduler, ShowsThePlaceholderRedactedUntilATimelineComes) {
  const View sample = ticking("Deep Work", 0);
  WidgetScheduler scheduler("VeltoTimerWidget", WidgetFamily::systemMedium);
  EXPECT_EQ(Draw::none, scheduler.advance(Date(1000)).draw);
  EXPECT_FALSE(scheduler.showing());

  scheduler.placeholderArrived(entryAt(1000, sample));
  SchedulerStep step = scheduler.advance(Date(1000.1));
  EXPECT_EQ(Draw::show, step.draw);
  EXPECT_TRUE(scheduler.scene().redacted);
  EXPECT_EQ(sample, scheduler.scene().view);
  // Texts are blocks, so the timer inside does not tick.
  EXPECT_FALSE(scheduler.ticking());
  EXPECT_EQ(std::nullopt, step.wakeAt);

  scheduler.timelineArrived(usual(1001, sample));
  step = scheduler.advance(Date(1001));
  EXPECT_EQ(Draw::show, step.draw);
  EXPECT_FALSE(scheduler.scene().redacted);
  EXPECT_TRUE(scheduler.ticking());

  // A placeholder that comes late does not push the real picture aside.
  scheduler.placeholderArrived(entryAt(1002, plain("sample")));
  EXPECT_EQ(Draw::tick, scheduler.advance(Date(1002)).draw);
  EXPECT_EQ(sample, scheduler.scene().view);
}

TEST(WidgetScheduler, TheSceneOffersTheLinksOfTheEntryShownButNoneOfThePlaceholder) {
  using platform::ui::Link;
  using platform::ui::URL;
  const auto button = [](const char* url) {
    return View(Link(*URL::fromString(url), Text::verbatim("go")));
  };
  const View paused = VStack({button("velto://toggle"), button("velto://stop")});
  const View stopped = plain("stopped");
  WidgetScheduler scheduler("VeltoTimerWidget", WidgetFamily::systemSmall);
  scheduler.placeholderArrived(entryAt(1000, paused));
  ASSERT_EQ(Draw::show, scheduler.advance(Date(1000)).draw);
  EXPECT_TRUE(scheduler.scene().links.empty());

  scheduler.timelineArrived(
      timelineOf({{1000, paused}, {1060, stopped}}, TimelineReloadPolicy::never()));
  ASSERT_EQ(Draw::show, scheduler.advance(Date(1001)).draw);
  EXPECT_EQ((std::vector<std::string>{"velto://toggle", "velto://stop"}), scheduler.scene().links);
  ASSERT_EQ(Draw::show, scheduler.advance(Date(1060)).draw);
  EXPECT_TRUE(scheduler.scene().links.empty());
}

TEST(WidgetScheduler, KeepsThePictureWhenATimelineHasNoEntries) {
  const View shown = plain("shown");
  int reloads = 0;
  Simulation sim([&](double now) {
    ++reloads;
    return reloads == 1 ? usual(now, shown) : timelineOf({}, TimelineReloadPolicy::never());
  });
  sim.run(1000, 1000);
  sim.scheduler.defaultsChanged();
  sim.run(1001, 2000);
  EXPECT_EQ(2, reloads);
  EXPECT_EQ(shown, sim.scheduler.scene().view);
  EXPECT_EQ(std::nullopt, sim.scheduler.nextWake(Date(1001)));
}

}  // namespace
}  // namespace velto::host
