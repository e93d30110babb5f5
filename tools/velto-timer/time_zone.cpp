#include "tools/velto-timer/time_zone.hpp"

#include <cmath>
#include <ctime>

namespace velto::timer {

using platform::foundation::Date;

Date TimeZone::startOfDay(Date instant) const {
  LocalDateTime midnight = toLocal(instant);
  midnight.hour = 0;
  midnight.minute = 0;
  midnight.second = 0;
  // A zone that skips midnight skips at most the first hours of the day.
  for (int hour = 0; hour < 24; ++hour) {
    midnight.hour = hour;
    if (const auto start = fromLocal(midnight)) {
      return *start <= instant ? *start : instant;
    }
  }
  return instant;
}

LocalDateTime SystemTimeZone::toLocal(Date instant) const {
  const double unixSeconds = std::floor(instant.timeIntervalSince1970());
  // Beyond what time_t and struct tm hold, no reading is meaningful.
  if (!(std::fabs(unixSeconds) < 1e15)) {
    return {};
  }
  const auto seconds = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (::localtime_r(&seconds, &local) == nullptr) {
    return {};
  }
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::optional<Date> SystemTimeZone::fromLocal(const LocalDateTime& local) const {
  std::tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  // The C library finds whether daylight-saving time is in force at that reading.
  fields.tm_isdst = -1;
  const std::time_t instant = std::mktime(&fields);
  if (instant == static_cast<std::time_t>(-1)) {
    return std::nullopt;
  }
  const Date date = Date::fromUnixSeconds(static_cast<double>(instant));
  // mktime moves a skipped reading to one that exists; such a reading names no instant.
  if (toLocal(date) != local) {
    return std::nullopt;
  }
  return date;
}

}  // namespace velto::timer
