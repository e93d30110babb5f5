#include "tools/velto-timer/time_argument.hpp"

#include <cstdint>
#include <optional>

namespace velto::timer {

namespace {

using platform::foundation::Date;

// Reads exactly `digits` decimal digits at the front of `text`.
std::optional<int> number(std::string_view& text, std::size_t digits) {
  if (text.size() < digits) {
    return std::nullopt;
  }
  int value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return std::nullopt;
    }
    value = value * 10 + (text[i] - '0');
  }
  text.remove_prefix(digits);
  return value;
}

bool take(std::string_view& text, char c) {
  if (!text.empty() && text.front() == c) {
    text.remove_prefix(1);
    return true;
  }
  return false;
}

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date (Howard Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  double fraction = 0.0;
};

// HH:MM[:SS[.fff]] at the front of `text`.
std::optional<TimeOfDay> timeOfDay(std::string_view& text) {
  TimeOfDay time;
  const auto hour = number(text, 2);
  if (!hour || !take(text, ':')) {
    return std::nullopt;
  }
  const auto minute = number(text, 2);
  if (!minute) {
    return std::nullopt;
  }
  time.hour = *hour;
  time.minute = *minute;
  if (take(text, ':')) {
    const auto second = number(text, 2);
    if (!second) {
      return std::nullopt;
    }
    time.second = *second;
    if (take(text, '.') || take(text, ',')) {
      double scale = 0.1;
      std::size_t digits = 0;
      while (!text.empty() && text.front() >= '0' && text.front() <= '9' && digits < 9) {
        time.fraction += scale * (text.front() - '0');
        scale /= 10;
        text.remove_prefix(1);
        ++digits;
      }
      if (digits == 0) {
        return std::nullopt;
      }
    }
  }
  if (time.hour > 23 || time.minute > 59 || time.second > 59) {
    return std::nullopt;
  }
  return time;
}

}  // namespace

platform::foundation::Expected<Date, std::string> parseTimeArgument(std::string_view text, Date now,
                                                                    const TimeZone& zone) {
  const auto invalid = [&] {
    return platform::foundation::Unexpected(
        std::string("expected HH:MM or an ISO-8601 date and time such as 2026-03-29T09:00"));
  };
  LocalDateTime local = zone.toLocal(now);
  std::string_view rest = text;
  if (rest.size() > 8 && rest[4] == '-') {
    const auto year = number(rest, 4);
    const bool dash1 = take(rest, '-');
    const auto month = number(rest, 2);
    const bool dash2 = take(rest, '-');
    const auto day = number(rest, 2);
    if (!year || !dash1 || !month || !dash2 || !day || !(take(rest, 'T') || take(rest, ' '))) {
      return invalid();
    }
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month)) {
      return platform::foundation::Unexpected(std::string("no such calendar date"));
    }
    local.year = *year;
    local.month = *month;
    local.day = *day;
  }
  const auto time = timeOfDay(rest);
  if (!time) {
    return invalid();
  }
  local.hour = time->hour;
  local.minute = time->minute;
  local.second = time->second;

  std::optional<int> offsetMinutes;
  if (take(rest, 'Z')) {
    offsetMinutes = 0;
  } else if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    const int sign = rest.front() == '-' ? -1 : 1;
    rest.remove_prefix(1);
    const auto hours = number(rest, 2);
    std::optional<int> minutes = 0;
    if (take(rest, ':') || !rest.empty()) {
      minutes = number(rest, 2);
    }
    if (!hours || !minutes || *hours > 23 || *minutes > 59) {
      return invalid();
    }
    offsetMinutes = sign * (*hours * 60 + *minutes);
  }
  if (!rest.empty() || (offsetMinutes && text.size() < 10)) {
    return invalid();
  }
  if (offsetMinutes) {
    const std::int64_t days = daysFromCivil(local.year, local.month, local.day);
    const double unixSeconds =
        static_cast<double>(days * 86400 + local.hour * 3600 + local.minute * 60 + local.second
                            - std::int64_t{*offsetMinutes} * 60);
    return Date::fromUnixSeconds(unixSeconds + time->fraction);
  }
  const auto instant = zone.fromLocal(local);
  if (!instant) {
    return platform::foundation::Unexpected(
        std::string("that local time does not exist (the clocks skip it)"));
  }
  return instant->addingTimeInterval(time->fraction);
}

}  // namespace velto::timer
