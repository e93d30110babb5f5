#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/foundation/date.hpp"

namespace platform::widgets {

/// When the host should ask the provider for its next timeline.
class TimelineReloadPolicy {
 public:
  enum class Kind : std::uint8_t { atEnd, after, never };

  /// Ask again once the last entry's date has passed.
  static constexpr TimelineReloadPolicy atEnd() { return TimelineReloadPolicy(Kind::atEnd, {}); }
  /// Ask again once `date` has passed.
  static constexpr TimelineReloadPolicy after(foundation::Date date) {
    return TimelineReloadPolicy(Kind::after, date);
  }
  /// Never ask again on its own.
  static constexpr TimelineReloadPolicy never() { return TimelineReloadPolicy(Kind::never, {}); }

  constexpr Kind kind() const { return kind_; }
  /// The reload date of an `after` policy; nothing for the others.
  constexpr std::optional<foundation::Date> date() const {
    return kind_ == Kind::after ? std::optional(date_) : std::nullopt;
  }

  friend constexpr bool operator==(const TimelineReloadPolicy&,
                                   const TimelineReloadPolicy&) = default;

 private:
  constexpr TimelineReloadPolicy(Kind kind, foundation::Date date) : kind_(kind), date_(date) {}

  Kind kind_;
  foundation::Date date_;
};

/// Entries in the order given, with one reload policy.
template <class Entry>
struct Timeline {
  Timeline(std::vector<Entry> timelineEntries, TimelineReloadPolicy reloadPolicy)
      : entries(std::move(timelineEntries)), policy(reloadPolicy) {}

  std::vector<Entry> entries;
  TimelineReloadPolicy policy;
};

}  // namespace platform::widgets
