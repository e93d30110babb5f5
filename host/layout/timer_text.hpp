#pragma once

#include <optional>
#include <string>

#include "platform/foundation/date.hpp"

namespace velto::host::layout {

/// What a timer text shows at `instant`: the whole seconds since `anchor` as a
/// zero-padded "HH:MM:SS" (hours widen as needed), "00:00:00" while the anchor
/// lies ahead, and "--:--:--" when the anchor or the instant is missing or not
/// finite, or when the count does not fit 64 bits.
std::string timerClockText(std::optional<platform::foundation::Date> anchor,
                           platform::foundation::Date instant);

}  // namespace velto::host::layout
