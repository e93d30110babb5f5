#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "platform/foundation/date.hpp"
#include "platform/widgets/protocol/messages.hpp"

namespace velto::host {

/// Which of a timeline's entries the host shows at `instant`: the one whose date
/// has most recently passed (the later one of equal dates), or the first when
/// none has yet. Nothing for an empty timeline. Dates need not be sorted.
std::optional<std::size_t> entryOnDisplay(
    std::span<const platform::widgets::protocol::EntryMessage> entries,
    platform::foundation::Date instant);

}  // namespace velto::host
