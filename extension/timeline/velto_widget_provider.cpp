#include "extension/timeline/velto_widget_provider.hpp"

#include <utility>
#include <vector>

#include "extension/model/shared_timer_storage.hpp"

namespace velto::timeline {

using model::SharedTimerSnapshot;
using platform::foundation::CalendarComponent;
using platform::widgets::Completion;
using platform::widgets::Timeline;
using platform::widgets::TimelineProviderContext;
using platform::widgets::TimelineReloadPolicy;
using platform::widgets::WidgetRelevance;

VeltoWidgetProvider::SnapshotLoader VeltoWidgetProvider::Services::defaultLoader() {
  return [] { return model::SharedTimerStorage::load(); };
}

VeltoWidgetEntry VeltoWidgetProvider::placeholder(const TimelineProviderContext&) const {
  const auto date = services_.clock->now();
  // A second reading, so the sample's update instant follows the entry's date.
  const auto updatedAt = services_.clock->now();
  return {date, SharedTimerSnapshot(SharedTimerSnapshot::State::running, "Deep Work", 4382.0,
                                    10540.0, updatedAt)};
}

void VeltoWidgetProvider::getSnapshot(const TimelineProviderContext&,
                                      const Completion<Entry>& completion) const {
  const auto date = services_.clock->now();
  completion(Entry{date, services_.loadSnapshot()});
}

// 1. One clock reading: the request time, from which every date derives.
// 2. One store read, shared by every entry.
// 3. Entries at 0…5 calendar minutes; an addition that yields no date drops its entry.
// 4. Reload once request time + 300 s has passed.
void VeltoWidgetProvider::getTimeline(const TimelineProviderContext&,
                                      const Completion<Timeline<Entry>>& completion) const {
  const auto requestTime = services_.clock->now();
  const SharedTimerSnapshot snapshot = services_.loadSnapshot();

  std::vector<Entry> entries;
  entries.reserve(kEntryCount);
  for (int offset = 0; offset < kEntryCount; ++offset) {
    if (const auto date =
            services_.calendar->date(CalendarComponent::minute, offset, requestTime)) {
      entries.push_back(Entry{*date, snapshot});
    }
  }

  const auto policy = TimelineReloadPolicy::after(requestTime.addingTimeInterval(kReloadDelay));
  completion(Timeline<Entry>(std::move(entries), policy));
}

void VeltoWidgetProvider::relevance(const Completion<WidgetRelevance>& completion) const {
  completion(WidgetRelevance::platformDefault());
}

}  // namespace velto::timeline
