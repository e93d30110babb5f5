#include "tools/velto-timer/time_argument.hpp"

#include "platform/foundation/iso_instant.hpp"

namespace velto::timer {

using platform::foundation::Date;

platform::foundation::Expected<Date, std::string> parseTimeArgument(std::string_view text, Date now,
                                                                    const TimeZone& zone) {
  const auto invalid = [&] {
    return platform::foundation::Unexpected(
        std::string("expected HH:MM or an ISO-8601 date and time such as 2026-03-29T09:00"));
  };
  const auto reading =
      platform::foundation::parseIsoReading(text, platform::foundation::IsoDate::optional);
  if (!reading) {
    if (reading.error() == platform::foundation::IsoError::noSuchDate) {
      return platform::foundation::Unexpected(std::string("no such calendar date"));
    }
    return invalid();
  }
  const auto& [date, time, offsetSeconds] = *reading;
  // An offset needs a date to go with it; a bare `HH:MM` with a zone is refused.
  if (offsetSeconds && text.size() < 10) {
    return invalid();
  }
  LocalDateTime local = zone.toLocal(now);
  if (date) {
    local.year = date->year;
    local.month = date->month;
    local.day = date->day;
  }
  local.hour = time.hour;
  local.minute = time.minute;
  local.second = time.second;
  if (offsetSeconds) {
    const platform::foundation::CivilDate day{local.year, local.month, local.day};
    return Date::fromUnixSeconds(platform::foundation::unixSecondsAt(day, time, *offsetSeconds));
  }
  const auto instant = zone.fromLocal(local);
  if (!instant) {
    return platform::foundation::Unexpected(
        std::string("that local time does not exist (the clocks skip it)"));
  }
  return instant->addingTimeInterval(time.fraction);
}

}  // namespace velto::timer
