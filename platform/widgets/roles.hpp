#pragma once

#include <concepts>
#include <functional>
#include <optional>

#include "platform/foundation/date.hpp"
#include "platform/widgets/timeline.hpp"
#include "platform/widgets/timeline_provider_context.hpp"

namespace platform::widgets {

/// A completion handler; a provider calls it exactly once per request.
template <class T>
using Completion = std::function<void(T)>;

/// How relevant a widget's content is to the user now. The platform's default
/// carries no score: the host ranks the widget as it likes.
struct WidgetRelevance {
  std::optional<double> score;

  static WidgetRelevance platformDefault() { return {}; }
  friend bool operator==(const WidgetRelevance&, const WidgetRelevance&) = default;
};

/// An entry's relevance score, when it supplies one.
struct TimelineEntryRelevance {
  double score = 0.0;
  friend bool operator==(const TimelineEntryRelevance&, const TimelineEntryRelevance&) = default;
};

/// One unit of a timeline: shown by the host from its `date` onwards.
template <class E>
concept TimelineEntry = std::copyable<E> && requires(const E& entry) {
  { entry.date } -> std::convertible_to<foundation::Date>;
};

/// The entry's relevance: its own when it supplies one, otherwise the default (none).
template <TimelineEntry E>
std::optional<TimelineEntryRelevance> relevanceOf(const E& entry) {
  if constexpr (requires {
                  {
                    entry.relevance()
                    } -> std::convertible_to<std::optional<TimelineEntryRelevance>>;
                }) {
    return entry.relevance();
  } else {
    return std::nullopt;
  }
}

/// Answers the host's requests for a widget's content.
template <class P>
concept TimelineProvider = TimelineEntry<typename P::Entry> && requires(
    const P& provider, const TimelineProviderContext& context,
    Completion<typename P::Entry> entryCompletion,
    Completion<Timeline<typename P::Entry>> timelineCompletion,
    Completion<WidgetRelevance> relevanceCompletion) {
  { provider.placeholder(context) } -> std::same_as<typename P::Entry>;
  provider.getSnapshot(context, entryCompletion);
  provider.getTimeline(context, timelineCompletion);
  provider.relevance(relevanceCompletion);
};

}  // namespace platform::widgets
