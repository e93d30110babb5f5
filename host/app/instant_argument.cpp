#include "host/app/instant_argument.hpp"

#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>

#include "platform/foundation/iso_instant.hpp"

namespace velto::host {

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;

namespace {

std::optional<double> wholeNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

Expected<Date, std::string> parseIso8601(std::string_view text) {
  using platform::foundation::IsoError;
  const std::string original(text);
  const auto reading =
      platform::foundation::parseIsoReading(text, platform::foundation::IsoDate::required);
  if (!reading) {
    return Unexpected(reading.error() == IsoError::malformed
                          ? "'" + original
                                + "' is not an ISO-8601 date and time (2026-12-06T21:30:00Z)"
                          : "'" + original + "' names no such date or time");
  }
  const auto& [date, time, offsetSeconds] = *reading;
  if (offsetSeconds) {
    return Date::fromUnixSeconds(platform::foundation::unixSecondsAt(*date, time, *offsetSeconds));
  }
  const auto seconds = platform::foundation::localUnixSecondsAt(*date, time);
  if (!seconds) {
    return Unexpected("'" + original + "' names no time on the local clock (give a UTC offset)");
  }
  return Date::fromUnixSeconds(*seconds);
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
