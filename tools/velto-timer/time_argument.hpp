#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"
#include "tools/velto-timer/time_zone.hpp"

namespace velto::timer {

/// The instant that an --at argument names: ISO-8601 `YYYY-MM-DDTHH:MM[:SS[.fff]]`
/// (a space may stand for the T) with `Z` or an offset `±HH:MM`, `±HHMM` or `±HH`,
/// or without one for local time; or `HH:MM[:SS]`, meaning that reading today in
/// local time. `now` gives "today". Fails with a message for a person when the
/// text is none of these, names no calendar date, or names a local reading that
/// the zone skips.
platform::foundation::Expected<platform::foundation::Date, std::string> parseTimeArgument(
    std::string_view text, platform::foundation::Date now, const TimeZone& zone);

}  // namespace velto::timer
