#include "tools/velto-timer/time_zone.hpp"

#include <cmath>
#include <ctime>

#include "platform/foundation/iso_instant.hpp"

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
  const auto seconds = platform::foundation::localUnixSecondsAt(
      {local.year, local.month, local.day}, {local.hour, local.minute, local.second, 0.0});
  if (!seconds) {
    return std::nullopt;
  }
  return Date::fromUnixSeconds(*seconds);
}

}  // namespace velto::timer
