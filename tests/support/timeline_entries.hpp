#pragma once

// For tests: timeline entries and timelines as the protocol carries them, built
// from (seconds, view) pairs, and an entry's JSON as an extension writes it.

#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/foundation/date.hpp"
#include "platform/ui/archive.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/protocol/messages.hpp"
#include "platform/widgets/timeline.hpp"

namespace velto::test_support {

/// One (seconds since the reference date, view) pair of a timeline.
using DatedView = std::pair<double, platform::ui::View>;

/// The entry that shows `view` from `seconds` on.
inline platform::widgets::protocol::EntryMessage entryAt(double seconds, platform::ui::View view) {
  return {platform::foundation::Date(seconds), std::move(view)};
}

/// The entries in the order given, and `policy`.
inline platform::widgets::protocol::TimelineMessage timelineOf(
    std::vector<DatedView> entries, platform::widgets::TimelineReloadPolicy policy) {
  platform::widgets::protocol::TimelineMessage timeline{{}, policy};
  for (auto& [seconds, view] : entries) {
    timeline.entries.push_back(entryAt(seconds, std::move(view)));
  }
  return timeline;
}

/// An entry's JSON with `date` as written, which need not be a valid date.
inline nlohmann::json entryJson(nlohmann::json date, const platform::ui::View& view) {
  return {{"date", std::move(date)}, {"view", platform::ui::archive(view)}};
}

}  // namespace velto::test_support
