#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/scene/backend.hpp"
#include "platform/foundation/date.hpp"
#include "platform/widgets/protocol/messages.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

/// Why the scheduler asks for a new timeline.
enum class ReloadReason : std::uint8_t {
  /// No timeline has arrived yet.
  initial,
  /// The timeline's reload policy came due.
  policy,
  /// The shared defaults changed.
  defaultsChanged,
  /// The wall clock was set back, or the timeline was asked for at another time.
  clockChanged,
  /// The last request failed; asked again at the reload pace.
  retry,
};

/// The name of a reason, for the log ("policy", …).
std::string_view name(ReloadReason reason);

/// What to do after WidgetScheduler::advance().
struct SchedulerStep {
  enum class Draw : std::uint8_t {
    /// Nothing visible changed.
    none,
    /// A new tree is on display (WidgetScheduler::scene()): lay it out and draw it.
    show,
    /// Only the live timer texts advanced: redraw just them.
    tick,
  };

  Draw draw = Draw::none;
  /// The instant to draw as of: the latest whole wall-clock second, so every
  /// live readout changes exactly on the second boundary.
  platform::foundation::Date instant;
  /// Ask the extension for a new timeline, then report timelineArrived() or
  /// reloadFailed(); until then the scheduler asks for no other.
  std::optional<ReloadReason> reload;
  /// When to call advance() next; nothing while nothing can change on its own.
  std::optional<platform::foundation::Date> wakeAt;

  friend bool operator==(const SchedulerStep&, const SchedulerStep&) = default;
};

/// Decides, for one shown widget (kind and family), what is on display and when
/// it changes. Pure: every input comes with the wall-clock instant it happened
/// at, and it reads no clock.
///
/// It keeps the latest good timeline and shows the entry whose date has most
/// recently passed (the first while none has); until the first timeline it
/// shows the placeholder, redacted. It wakes only for what can change: the next
/// entry whose tree differs from the one on display, the reload instant, and,
/// while a live timer text is on display, each wall-clock second boundary.
///
/// Reloads follow the policy (`after` its date, `atEnd` after the last entry's
/// date, `never`), but policy-driven ones and retries come at most once every
/// kMinReloadInterval seconds, so a policy dated in the past or `atEnd` of an
/// empty timeline cannot make the host spin. A change of the defaults is
/// honoured at once, coalesced into one further request while one is in
/// flight. When the wall clock is set, the readout follows at once; a reload
/// date the jump passed reloads at once, and so does a jump back, since the
/// timeline was made for another time.
class WidgetScheduler {
 public:
  /// The fewest seconds between two reloads that the widget did not ask for by a change.
  static constexpr double kMinReloadInterval = 5.0;

  WidgetScheduler(std::string kind, platform::widgets::WidgetFamily family);

  const std::string& kind() const { return kind_; }
  platform::widgets::WidgetFamily family() const { return scene_.family; }

  /// The placeholder entry, shown redacted while no timeline has arrived.
  void placeholderArrived(platform::widgets::protocol::EntryMessage entry);

  /// The reload asked for arrived; it replaces the timeline kept.
  void timelineArrived(platform::widgets::protocol::TimelineMessage timeline);

  /// The reload asked for failed; the timeline kept stays, and the request is
  /// made again at the reload pace.
  void reloadFailed();

  /// The shared defaults changed: reload at once (or right after the one in flight).
  void defaultsChanged();

  /// The wall clock was set (or the machine resumed): the next advance() treats
  /// its instant as a jump.
  void clockChanged();

  /// Brings the widget to `now`: what to draw, whether to reload, when to wake.
  SchedulerStep advance(platform::foundation::Date now);

  /// When advance() must next run, as of `now`; nothing while nothing can change.
  std::optional<platform::foundation::Date> nextWake(platform::foundation::Date now) const;

  /// The tree on display; meaningful once advance() has said `show`.
  const live::Scene& scene() const { return scene_; }

  /// Whether anything is on display yet.
  bool showing() const { return showing_; }

  /// Whether the tree on display holds a live timer text (never while redacted).
  bool ticking() const { return showing_ && liveTimer_; }

  /// Whether a reload was asked for and has not been reported yet.
  bool reloadInFlight() const { return inFlight_; }

  /// The timeline kept, if one has arrived.
  const std::optional<platform::widgets::protocol::TimelineMessage>& timeline() const {
    return timeline_;
  }

 private:
  std::optional<platform::foundation::Date> nextChange(platform::foundation::Date now) const;
  std::optional<platform::foundation::Date> reloadDue() const;
  std::optional<ReloadReason> reloadWanted(platform::foundation::Date now) const;
  std::optional<platform::foundation::Date> reloadWake(platform::foundation::Date now) const;
  bool wantsShow(platform::foundation::Date now) const;
  void takeTimeline(platform::widgets::protocol::TimelineMessage timeline);

  std::string kind_;

  // What is on display.
  live::Scene scene_;
  bool showing_ = false;
  bool liveTimer_ = false;
  std::optional<std::size_t> shownEntry_;  // into the timeline kept; none for the placeholder
  platform::foundation::Date drawnSecond_;
  bool redrawWanted_ = false;  // a new timeline, a placeholder or a clock change to show

  // What there is to show.
  std::optional<platform::widgets::protocol::EntryMessage> placeholder_;
  std::optional<platform::widgets::protocol::TimelineMessage> timeline_;
  std::vector<std::size_t> byDate_;  // entries with finite dates, by date, then by position

  // Reloads.
  bool inFlight_ = false;
  bool defaultsChanged_ = false;
  bool clockSet_ = false;
  bool jumpedBack_ = false;
  bool retry_ = false;
  std::optional<platform::foundation::Date> lastReload_;  // when the last one was asked for
  std::optional<platform::foundation::Date> lastNow_;
};

}  // namespace velto::host
