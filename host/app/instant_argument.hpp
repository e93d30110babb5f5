#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host {

/// Reads an instant given on the command line:
/// - ISO-8601 date and time, `2026-12-06T21:30:00Z`, with fractional seconds, a
///   `Z` or `±hh:mm` offset, or no zone for local time; `T` or a space between;
/// - a plain number: seconds since 2001-01-01 00:00:00 UTC, as the snapshot's
///   instants are written;
/// - `@` and a number: Unix seconds, as `date +@%s` prints them.
platform::foundation::Expected<platform::foundation::Date, std::string> parseInstant(
    std::string_view text);

}  // namespace velto::host
