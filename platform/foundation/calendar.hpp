#pragma once

#include <cstdint>
#include <optional>

#include "platform/foundation/date.hpp"

namespace platform::foundation {

/// Calendar units that have a fixed length in seconds in every time zone.
enum class CalendarComponent : std::uint8_t { second, minute, hour };

/// Date arithmetic in calendar units. An interface, so that tests can put in a
/// calendar that refuses chosen additions.
class Calendar {
 public:
  virtual ~Calendar() = default;

  /// The date `value` units of `component` after `date`, or nothing when the
  /// calendar cannot represent it. Without wrapping, overflow carries into the
  /// larger units as usual; with it, the component wraps within the next larger unit.
  std::optional<Date> date(CalendarComponent byAdding, std::int64_t value, Date to,
                           bool wrappingComponents = false) const {
    return dateByAdding(byAdding, value, to, wrappingComponents);
  }

  /// The user's current calendar: Gregorian (see GregorianCalendar).
  static const Calendar& current();

 private:
  virtual std::optional<Date> dateByAdding(CalendarComponent component, std::int64_t value, Date to,
                                           bool wrappingComponents) const = 0;
};

/// The proleptic Gregorian calendar in UTC, for the years 1 to 9999. Adding n
/// minutes adds exactly 60·n seconds. A result that is not finite, or that falls
/// before 0001-01-01 00:00:00 or at or after 10000-01-01 00:00:00, yields no date;
/// so does a starting date outside that range.
class GregorianCalendar final : public Calendar {
 public:
  /// 0001-01-01 00:00:00 UTC.
  static constexpr Date kEarliest{-63113904000.0};
  /// 10000-01-01 00:00:00 UTC, the first instant after the range.
  static constexpr Date kEnd{252423993600.0};

 private:
  std::optional<Date> dateByAdding(CalendarComponent component, std::int64_t value, Date to,
                                   bool wrappingComponents) const override;
};

}  // namespace platform::foundation
