#pragma once

#include <string>

namespace velto::format {

/// A count of seconds as a zero-padded clock, "HH:MM:SS", from its floor. Negative
/// counts read "00:00:00"; the hours grow to as many digits as they need. A count
/// that is NaN, +∞ or whose floor exceeds 2^63 − 1 reads "--:--:--"; −∞ and counts
/// below −2^63 read "00:00:00" like every negative count.
std::string veltoClockText(double seconds);

/// A count of seconds as hours and minutes, "2h 5m", or minutes alone below one
/// hour, "45m", from its truncation toward zero. Negative counts read "0m". A
/// count that is NaN, +∞ or whose truncation exceeds 2^63 − 1 reads "--"; −∞ and
/// counts below −2^63 read "0m".
std::string veltoCompactText(double seconds);

}  // namespace velto::format
