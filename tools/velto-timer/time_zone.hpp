#pragma once

#include <optional>

#include "platform/foundation/date.hpp"

namespace velto::timer {

/// A wall-clock reading: a calendar date and a time of day, to the second.
struct LocalDateTime {
  int year = 2001;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

/// Local time of one zone. An interface, so that the timer's rules can be tested
/// in a chosen zone without touching the process's own.
class TimeZone {
 public:
  virtual ~TimeZone() = default;

  /// The wall-clock reading at `instant`, its fraction of a second dropped.
  virtual LocalDateTime toLocal(platform::foundation::Date instant) const = 0;

  /// The instant that shows `local`, or nothing when the zone skips that reading
  /// (the hour lost to daylight-saving time). A reading that occurs twice gives
  /// one of its two instants.
  virtual std::optional<platform::foundation::Date> fromLocal(const LocalDateTime& local) const = 0;

  /// The first instant of the local calendar day that holds `instant`; days of
  /// 23 and 25 hours included. Where a zone skips midnight, the day starts at the
  /// first reading it does show.
  platform::foundation::Date startOfDay(platform::foundation::Date instant) const;
};

/// The zone that TZ names (the system's zone when TZ is unset), through the C
/// library; TZ is read when the process calls tzset, as localtime_r does.
class SystemTimeZone final : public TimeZone {
 public:
  LocalDateTime toLocal(platform::foundation::Date instant) const override;
  std::optional<platform::foundation::Date> fromLocal(const LocalDateTime& local) const override;
};

}  // namespace velto::timer
