#include "host/app/instant_argument.hpp"

#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>

namespace velto::host {

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;

namespace {

/// Reads a whole number of exactly `digits` digits from the front of `text`.
std::optional<int> takeDigits(std::string_view& text, std::size_t digits) {
  if (text.size() < digits) {
    return std::nullopt;
  }
  int value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  text.remove_prefix(digits);
  return value;
}

bool takeChar(std::string_view& text, char expected) {
  if (text.empty() || text.front() != expected) {
    return false;
  }
  text.remove_prefix(1);
  return true;
}

std::optional<double> wholeNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Days from 1970-01-01 to the given proleptic Gregorian date (Howard Hinnant's
// days_from_civil), so UTC times need neither timegm nor the process's zone.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

Expected<Date, std::string> parseIso8601(std::string_view text) {
  const std::string original(text);
  const auto invalid = [&] {
    return Unexpected("'" + original + "' is not an ISO-8601 date and time (2026-12-06T21:30:00Z)");
  };
  const auto year = takeDigits(text, 4);
  if (!year || !takeChar(text, '-')) {
    return invalid();
  }
  const auto month = takeDigits(text, 2);
  if (!month || !takeChar(text, '-')) {
    return invalid();
  }
  const auto day = takeDigits(text, 2);
  if (!day || (!takeChar(text, 'T') && !takeChar(text, ' '))) {
    return invalid();
  }
  const auto hour = takeDigits(text, 2);
  if (!hour || !takeChar(text, ':')) {
    return invalid();
  }
  const auto minute = takeDigits(text, 2);
  if (!minute) {
    return invalid();
  }
  int second = 0;
  double fraction = 0;
  if (takeChar(text, ':')) {
    const auto whole = takeDigits(text, 2);
    if (!whole) {
      return invalid();
    }
    second = *whole;
    if (takeChar(text, '.') || takeChar(text, ',')) {
      std::size_t digits = 0;
      double scale = 0.1;
      while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        fraction += (text[digits] - '0') * scale;
        scale /= 10;
        ++digits;
      }
      if (digits == 0) {
        return invalid();
      }
      text.remove_prefix(digits);
    }
  }
  if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23
      || *minute > 59 || second > 59) {
    return Unexpected("'" + original + "' names no such date or time");
  }

  std::optional<int> offsetSeconds;
  if (takeChar(text, 'Z') || takeChar(text, 'z')) {
    offsetSeconds = 0;
  } else if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    const int sign = text.front() == '-' ? -1 : 1;
    text.remove_prefix(1);
    const auto offsetHours = takeDigits(text, 2);
    takeChar(text, ':');
    const auto offsetMinutes = takeDigits(text, 2);
    if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) {
      return invalid();
    }
    offsetSeconds = sign * (*offsetHours * 3600 + *offsetMinutes * 60);
  }
  if (!text.empty()) {
    return invalid();
  }

  double unixSeconds = 0;
  if (offsetSeconds) {
    const std::int64_t days = daysFromCivil(*year, *month, *day);
    unixSeconds =
        static_cast<double>(days * 86400 + *hour * 3600 + *minute * 60 + second - *offsetSeconds);
  } else {
    std::tm local{};
    local.tm_year = *year - 1900;
    local.tm_mon = *month - 1;
    local.tm_mday = *day;
    local.tm_hour = *hour;
    local.tm_min = *minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    if (time == static_cast<std::time_t>(-1)) {
      return Unexpected("'" + original + "' cannot be placed in the local time zone");
    }
    unixSeconds = static_cast<double>(time);
  }
  return Date::fromUnixSeconds(unixSeconds + fraction);
}

}  // namespace

Expected<Date, std::string> parseInstant(std::string_view text) {
  if (text.empty()) {
    return Unexpected(std::string("an empty time names no instant"));
  }
  if (text.front() == '@') {
    if (const auto unix = wholeNumber(text.substr(1))) {
      return Date::fromUnixSeconds(*unix);
    }
    return Unexpected("'" + std::string(text) + "' is not '@' followed by Unix seconds");
  }
  if (const auto seconds = wholeNumber(text)) {
    return Date(*seconds);
  }
  return parseIso8601(text);
}

}  // namespace velto::host
