#include "platform/foundation/iso_instant.hpp"

#include <ctime>

namespace platform::foundation {

namespace {

// Reads exactly `digits` decimal digits at the front of `text`.
std::optional<int> takeDigits(std::string_view& text, std::size_t digits) {
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

bool takeChar(std::string_view& text, char expected) {
  if (text.empty() || text.front() != expected) {
    return false;
  }
  text.remove_prefix(1);
  return true;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::optional<CivilDate> takeDate(std::string_view& text) {
  const auto year = takeDigits(text, 4);
  if (!year || !takeChar(text, '-')) {
    return std::nullopt;
  }
  const auto month = takeDigits(text, 2);
  if (!month || !takeChar(text, '-')) {
    return std::nullopt;
  }
  const auto day = takeDigits(text, 2);
  if (!day || (!takeChar(text, 'T') && !takeChar(text, ' '))) {
    return std::nullopt;
  }
  return CivilDate{*year, *month, *day};
}

std::optional<TimeOfDay> takeTime(std::string_view& text) {
  const auto hour = takeDigits(text, 2);
  if (!hour || !takeChar(text, ':')) {
    return std::nullopt;
  }
  const auto minute = takeDigits(text, 2);
  if (!minute) {
    return std::nullopt;
  }
  TimeOfDay time{*hour, *minute, 0, 0.0};
  if (takeChar(text, ':')) {
    const auto second = takeDigits(text, 2);
    if (!second) {
      return std::nullopt;
    }
    time.second = *second;
    if (takeChar(text, '.') || takeChar(text, ',')) {
      std::size_t digits = 0;
      double scale = 0.1;
      while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        time.fraction += (text[digits] - '0') * scale;
        scale /= 10;
        ++digits;
      }
      if (digits == 0) {
        return std::nullopt;
      }
      text.remove_prefix(digits);
    }
  }
  return time;
}

}  // namespace

Expected<IsoReading, IsoError> parseIsoReading(std::string_view text, IsoDate datePart) {
  IsoReading reading;
  const bool looksDated = text.size() > 4 && text[4] == '-';
  if (datePart == IsoDate::required || looksDated) {
    reading.date = takeDate(text);
    if (!reading.date) {
      return Unexpected(IsoError::malformed);
    }
  }
  const auto time = takeTime(text);
  if (!time) {
    return Unexpected(IsoError::malformed);
  }
  reading.time = *time;
  if (const auto& date = reading.date; date
                                       && (date->month < 1 || date->month > 12 || date->day < 1
                                           || date->day > daysInMonth(date->year, date->month))) {
    return Unexpected(IsoError::noSuchDate);
  }
  if (time->hour > 23 || time->minute > 59 || time->second > 59) {
    return Unexpected(IsoError::noSuchTime);
  }

  if (takeChar(text, 'Z') || takeChar(text, 'z')) {
    reading.offsetSeconds = 0;
  } else if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    const int sign = text.front() == '-' ? -1 : 1;
    text.remove_prefix(1);
    const auto hours = takeDigits(text, 2);
    std::optional<int> minutes = 0;
    if (takeChar(text, ':') || !text.empty()) {
      minutes = takeDigits(text, 2);
    }
    if (!hours || !minutes || *hours > 23 || *minutes > 59) {
      return Unexpected(IsoError::malformed);
    }
    reading.offsetSeconds = sign * (*hours * 3600 + *minutes * 60);
  }
  if (!text.empty()) {
    return Unexpected(IsoError::malformed);
  }
  return reading;
}

std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

double unixSecondsAt(CivilDate date, TimeOfDay time, int offsetSeconds) {
  const std::int64_t days = daysFromCivil(date.year, date.month, date.day);
  const std::int64_t seconds = days * 86400 + time.hour * 3600 + time.minute * 60 + time.second
                               - std::int64_t{offsetSeconds};
  return static_cast<double>(seconds) + time.fraction;
}

std::optional<double> localUnixSecondsAt(CivilDate date, TimeOfDay time) {
  std::tm fields{};
  fields.tm_year = date.year - 1900;
  fields.tm_mon = date.month - 1;
  fields.tm_mday = date.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  // The C library finds whether daylight-saving time is in force at that reading.
  fields.tm_isdst = -1;
  const std::time_t instant = std::mktime(&fields);
  std::tm back{};
  if (instant == static_cast<std::time_t>(-1) || ::localtime_r(&instant, &back) == nullptr) {
    return std::nullopt;
  }
  // mktime moves a skipped reading to one that exists; such a reading names no instant.
  if (back.tm_year != date.year - 1900 || back.tm_mon != date.month - 1 || back.tm_mday != date.day
      || back.tm_hour != time.hour || back.tm_min != time.minute || back.tm_sec != time.second) {
    return std::nullopt;
  }
  return static_cast<double>(instant) + time.fraction;
}

}  // namespace platform::foundation
