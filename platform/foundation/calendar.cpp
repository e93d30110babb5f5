#include "platform/foundation/calendar.hpp"

#include <cmath>

namespace platform::foundation {

namespace {

double secondsPerUnit(CalendarComponent component) {
  switch (component) {
    case CalendarComponent::second:
      return 1.0;
    case CalendarComponent::minute:
      return 60.0;
    case CalendarComponent::hour:
      return 3600.0;
  }
  return 0.0;
}

// Length of the next larger unit, within which a wrapping addition stays.
double secondsPerWrap(CalendarComponent component) {
  switch (component) {
    case CalendarComponent::second:
      return 60.0;
    case CalendarComponent::minute:
      return 3600.0;
    case CalendarComponent::hour:
      return 86400.0;
  }
  return 0.0;
}

bool inRange(double seconds) {
  return std::isfinite(seconds)
         && seconds >= GregorianCalendar::kEarliest.timeIntervalSinceReferenceDate()
         && seconds < GregorianCalendar::kEnd.timeIntervalSinceReferenceDate();
}

}  // namespace

const Calendar& Calendar::current() {
  static const GregorianCalendar calendar;
  return calendar;
}

std::optional<Date> GregorianCalendar::dateByAdding(CalendarComponent component, std::int64_t value,
                                                    Date to, bool wrappingComponents) const {
  const double start = to.timeIntervalSinceReferenceDate();
  if (!inRange(start)) {
    return std::nullopt;
  }
  const double unit = secondsPerUnit(component);
  double result = 0.0;
  if (wrappingComponents) {
    const double wrap = secondsPerWrap(component);
    const double unitsPerWrap = wrap / unit;
    const double wrapStart = std::floor(start / wrap) * wrap;
    const double inWrap = start - wrapStart;
    const double unitIndex = std::floor(inWrap / unit);
    const double shifted =
        std::fmod(unitIndex + std::fmod(static_cast<double>(value), unitsPerWrap), unitsPerWrap);
    const double wrapped = shifted < 0 ? shifted + unitsPerWrap : shifted;
    result = start + (wrapped - unitIndex) * unit;
  } else {
    result = start + static_cast<double>(value) * unit;
  }
  if (!inRange(result)) {
    return std::nullopt;
  }
  return Date(result);
}

}  // namespace platform::foundation
