#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/foundation/expected.hpp"

namespace platform::foundation {

struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  double fraction = 0.0;
};

/// The fields of an ISO-8601 date and time, before any zone is applied.
struct IsoReading {
  std::optional<CivilDate> date;  // absent only where the date was optional
  TimeOfDay time;
  std::optional<int> offsetSeconds;  // absent for a local reading
};

enum class IsoError { malformed, noSuchDate, noSuchTime };

enum class IsoDate { required, optional };

/// Reads `YYYY-MM-DD(T| )HH:MM[:SS[(.|,)fff]]` followed by `Z`, `±HH:MM`, `±HHMM`,
/// `±HH` or nothing. With `IsoDate::optional` a text that does not start like a
/// date is read as the time of day alone. Callers word their own messages.
Expected<IsoReading, IsoError> parseIsoReading(std::string_view text, IsoDate datePart);

/// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's
/// days_from_civil), so UTC times need neither timegm nor the process's zone.
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day);

/// Unix seconds of a reading at a known offset from UTC.
double unixSecondsAt(CivilDate date, TimeOfDay time, int offsetSeconds);

/// Unix seconds of a reading on the process's local clock; nothing for a
/// reading that clock skips (when it springs forward) or cannot hold.
std::optional<double> localUnixSecondsAt(CivilDate date, TimeOfDay time);

}  // namespace platform::foundation
