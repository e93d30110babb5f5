#pragma once

// Durations as the widget shows them ("00:12:34", "1h 30m") and as a person
// hears them ("12 minutes 34 seconds", "1 hour 30 minutes").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velto::host::gtk {

/// The seconds of a clock readout "H…H:MM:SS"; none for any other text ("--:--:--").
std::optional<std::int64_t> clockSeconds(std::string_view text);

/// The seconds of a compact duration "2h 5m" or "45m"; none for any other text ("--").
std::optional<std::int64_t> compactSeconds(std::string_view text);

enum class SpokenPrecision : std::uint8_t { seconds, minutes };

/// `seconds` in words, largest unit first, units that are zero left out:
/// "1 hour 5 seconds", "0 seconds". To the minute, a duration under one reads
/// "less than a minute", as a readout that just started does.
std::string spokenDuration(std::int64_t seconds, SpokenPrecision precision);

}  // namespace velto::host::gtk
