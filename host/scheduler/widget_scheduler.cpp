#include "host/scheduler/widget_scheduler.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <utility>

#include "host/scheduler/entry_on_display.hpp"
#include "host/scheduler/live_timer.hpp"

namespace velto::host {

using platform::foundation::Date;
using platform::widgets::TimelineReloadPolicy;
using platform::widgets::protocol::EntryMessage;
using platform::widgets::protocol::TimelineMessage;

namespace {

// A timer that fires a hair before the second it was set for still draws that second.
constexpr double kSecondSlack = 0.001;

/// The latest whole wall-clock second at `instant`.
Date wholeSecond(Date instant) {
  return Date(std::floor(instant.timeIntervalSinceReferenceDate() + kSecondSlack));
}

std::optional<Date> earliest(std::optional<Date> a, std::optional<Date> b) {
  if (!a) {
    return b;
  }
  if (!b) {
    return a;
  }
  return *b < *a ? b : a;
}

constexpr Date kLongAgo(-std::numeric_limits<double>::infinity());

}  // namespace

std::string_view name(ReloadReason reason) {
  switch (reason) {
    case ReloadReason::initial:
      return "initial";
    case ReloadReason::policy:
      return "policy";
    case ReloadReason::defaultsChanged:
      return "defaults changed";
    case ReloadReason::clockChanged:
      return "clock changed";
    case ReloadReason::retry:
      return "retry";
  }
  return "";
}

WidgetScheduler::WidgetScheduler(std::string kind, platform::widgets::WidgetFamily family)
    : kind_(std::move(kind)), scene_(family, platform::ui::Spacer()) {}

void WidgetScheduler::placeholderArrived(EntryMessage entry) {
  placeholder_ = std::move(entry);
  redrawWanted_ = redrawWanted_ || !timeline_;
}

void WidgetScheduler::timelineArrived(TimelineMessage timeline) {
  inFlight_ = false;
  retry_ = false;
  takeTimeline(std::move(timeline));
}

void WidgetScheduler::takeTimeline(TimelineMessage timeline) {
  byDate_.clear();
  for (std::size_t i = 0; i < timeline.entries.size(); ++i) {
    if (std::isfinite(timeline.entries[i].date.timeIntervalSinceReferenceDate())) {
      byDate_.push_back(i);
    }
  }
  std::stable_sort(byDate_.begin(), byDate_.end(), [&](std::size_t a, std::size_t b) {
    return timeline.entries[a].date < timeline.entries[b].date;
  });
  timeline_ = std::move(timeline);
  shownEntry_.reset();
  redrawWanted_ = true;
}

void WidgetScheduler::reloadFailed() {
  if (inFlight_) {
    inFlight_ = false;
    retry_ = true;
  }
}

void WidgetScheduler::defaultsChanged() {
  defaultsChanged_ = true;
}

void WidgetScheduler::clockChanged() {
  clockSet_ = true;
}

SchedulerStep WidgetScheduler::advance(Date now) {
  SchedulerStep step;
  step.instant = wholeSecond(now);

  // STEP 1: a clock set back leaves the last reload in the future; count the
  // reload pace from now instead, and fetch a timeline made for this time.
  const bool jumpedBack = lastNow_ && now < *lastNow_;
  if (jumpedBack) {
    jumpedBack_ = true;
    if (lastReload_ && now < *lastReload_) {
      lastReload_ = now;
    }
  }
  const bool clockSet = std::exchange(clockSet_, false) || jumpedBack;
  lastNow_ = now;

  // STEP 2: the tree on display: the timeline's entry at `now`, or the
  // placeholder while no timeline has come. An empty timeline keeps the picture.
  std::optional<std::size_t> entry;
  if (timeline_) {
    entry = entryOnDisplay(timeline_->entries, now);
  }
  if (entry && (entry != shownEntry_ || redrawWanted_ || clockSet)) {
    const platform::ui::View& view = timeline_->entries[*entry].view;
    if (!showing_ || scene_.redacted || !(view == scene_.view) || clockSet) {
      scene_ = live::Scene(scene_.family, view);
      step.draw = SchedulerStep::Draw::show;
    }
    shownEntry_ = entry;
  } else if (!timeline_ && placeholder_ && (!showing_ || redrawWanted_ || clockSet)) {
    scene_ = live::Scene(scene_.family, placeholder_->view, /*redacted=*/true);
    step.draw = SchedulerStep::Draw::show;
  } else if (showing_ && clockSet) {
    step.draw = SchedulerStep::Draw::show;
  }
  redrawWanted_ = false;
  if (step.draw == SchedulerStep::Draw::show) {
    showing_ = true;
    liveTimer_ = !scene_.redacted && holdsLiveTimer(scene_.view);
    drawnSecond_ = step.instant;
  } else if (ticking() && step.instant != drawnSecond_) {
    step.draw = SchedulerStep::Draw::tick;
    drawnSecond_ = step.instant;
  }

  // STEP 3: at most one reload in flight.
  step.reload = reloadWanted(now);
  if (step.reload) {
    inFlight_ = true;
    lastReload_ = now;
    defaultsChanged_ = false;
    jumpedBack_ = false;
    retry_ = false;
  }

  step.wakeAt = nextWake(now);
  return step;
}

std::optional<Date> WidgetScheduler::nextWake(Date now) const {
  std::optional<Date> wake = earliest(nextChange(now), reloadWake(now));
  if (wantsShow(now)) {
    wake = now;
  }
  if (ticking()) {
    wake = earliest(wake, wholeSecond(now).addingTimeInterval(1));
  }
  // A date at infinity never comes.
  if (wake && !std::isfinite(wake->timeIntervalSinceReferenceDate())) {
    return std::nullopt;
  }
  return wake;
}

bool WidgetScheduler::wantsShow(Date now) const {
  if (redrawWanted_ || clockSet_ || (lastNow_ && now < *lastNow_)) {
    return timeline_ || placeholder_;
  }
  return false;
}

std::optional<Date> WidgetScheduler::nextChange(Date now) const {
  if (!timeline_ || !showing_) {
    return std::nullopt;
  }
  const auto& entries = timeline_->entries;
  auto next =
      std::upper_bound(byDate_.begin(), byDate_.end(), now,
                       [&](Date instant, std::size_t i) { return instant < entries[i].date; });
  while (next != byDate_.end()) {
    const Date date = entries[*next].date;
    // Of entries with one date, the last one is shown.
    auto last = next;
    while (std::next(last) != byDate_.end() && entries[*std::next(last)].date == date) {
      ++last;
    }
    if (scene_.redacted || !(entries[*last].view == scene_.view)) {
      return date;
    }
    next = std::next(last);
  }
  return std::nullopt;
}

std::optional<Date> WidgetScheduler::reloadDue() const {
  const TimelineReloadPolicy& policy = timeline_->policy;
  switch (policy.kind()) {
    case TimelineReloadPolicy::Kind::after: {
      const Date date = *policy.date();
      // A date that is not a number would never pass; take it as one long past.
      return std::isnan(date.timeIntervalSinceReferenceDate()) ? kLongAgo : date;
    }
    case TimelineReloadPolicy::Kind::atEnd:
      return byDate_.empty() ? kLongAgo : timeline_->entries[byDate_.back()].date;
    case TimelineReloadPolicy::Kind::never:
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<Date> WidgetScheduler::reloadWake(Date now) const {
  if (inFlight_) {
    return std::nullopt;
  }
  if (defaultsChanged_ || jumpedBack_ || !lastReload_) {
    return now;
  }
  const Date paced = lastReload_->addingTimeInterval(kMinReloadInterval);
  if (retry_ || !timeline_) {
    return paced;
  }
  const auto due = reloadDue();
  if (!due) {
    return std::nullopt;
  }
  return std::max(*due, paced);
}

std::optional<ReloadReason> WidgetScheduler::reloadWanted(Date now) const {
  if (inFlight_) {
    return std::nullopt;
  }
  if (defaultsChanged_) {
    return ReloadReason::defaultsChanged;
  }
  if (jumpedBack_) {
    return ReloadReason::clockChanged;
  }
  if (!lastReload_) {
    return ReloadReason::initial;
  }
  const auto wake = reloadWake(now);
  if (!wake || now < *wake) {
    return std::nullopt;
  }
  return retry_ || !timeline_ ? ReloadReason::retry : ReloadReason::policy;
}

}  // namespace velto::host
