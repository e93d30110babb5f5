#pragma once

#include <functional>
#include <utility>

#include "extension/model/shared_timer_snapshot.hpp"
#include "extension/timeline/velto_widget_entry.hpp"
#include "platform/foundation/calendar.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/widgets/roles.hpp"
#include "platform/widgets/timeline.hpp"
#include "platform/widgets/timeline_provider_context.hpp"

namespace velto::timeline {

/// Answers the widget host: a fixed placeholder, and snapshots and timelines read
/// afresh from the shared store. Keeps nothing between requests; every completion
/// runs exactly once, on the caller's thread, before the request returns.
class VeltoWidgetProvider {
 public:
  using Entry = VeltoWidgetEntry;
  using SnapshotLoader = std::function<model::SharedTimerSnapshot()>;

  /// What the provider reads the world through; the defaults are the real ones.
  struct Services {
    const platform::foundation::Clock* clock = &platform::foundation::SystemClock::shared();
    const platform::foundation::Calendar* calendar = &platform::foundation::Calendar::current();
    SnapshotLoader loadSnapshot = defaultLoader();

    static SnapshotLoader defaultLoader();
  };

  static constexpr int kEntryCount = 6;
  static constexpr double kReloadDelay = 300.0;

  VeltoWidgetProvider() = default;
  explicit VeltoWidgetProvider(Services services) : services_(std::move(services)) {}

  /// A running "Deep Work" sample; reads no storage.
  Entry placeholder(const platform::widgets::TimelineProviderContext& context) const;

  /// The stored state as of now, for previews too.
  void getSnapshot(const platform::widgets::TimelineProviderContext& context,
                   const platform::widgets::Completion<Entry>& completion) const;

  /// Six entries one calendar minute apart from one reading of the clock, all
  /// carrying one loaded snapshot, and a reload 300 s after the request.
  void getTimeline(
      const platform::widgets::TimelineProviderContext& context,
      const platform::widgets::Completion<platform::widgets::Timeline<Entry>>& completion) const;

  /// The platform's default relevance: the provider supplies none of its own.
  void relevance(
      const platform::widgets::Completion<platform::widgets::WidgetRelevance>& completion) const;

 private:
  Services services_;
};

static_assert(platform::widgets::TimelineProvider<VeltoWidgetProvider>);

}  // namespace velto::timeline
