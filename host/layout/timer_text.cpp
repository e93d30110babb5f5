#include "host/layout/timer_text.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace velto::host::layout {

std::string timerClockText(std::optional<platform::foundation::Date> anchor,
                           platform::foundation::Date instant) {
  constexpr const char* kUnknown = "--:--:--";
  if (!anchor || !std::isfinite(anchor->timeIntervalSinceReferenceDate())
      || !std::isfinite(instant.timeIntervalSinceReferenceDate())) {
    return kUnknown;
  }
  const double elapsed = std::floor(instant.timeIntervalSince(*anchor));
  if (elapsed < 0) {
    return "00:00:00";
  }
  // 2^63 is the first double past INT64_MAX.
  if (elapsed >= 9'223'372'036'854'775'808.0) {
    return kUnknown;
  }
  const auto seconds = static_cast<std::int64_t>(elapsed);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace velto::host::layout
