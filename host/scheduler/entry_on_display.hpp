#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "platform/foundation/date.hpp"

namespace velto::host {

/// Which of a timeline's entries the host shows at `instant`: the one whose date
/// has most recently passed (the later one of equal dates), or the first when
/// none has yet. Nothing for an empty timeline. Dates need not be sorted.
template <class Entry>
std::optional<std::size_t> entryOnDisplay(std::span<const Entry> entries,
                                          platform::foundation::Date instant) {
  if (entries.empty()) {
    return std::nullopt;
  }
  std::optional<std::size_t> shown;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto date = entries[i].date;
    if (date <= instant && (!shown || entries[*shown].date <= date)) {
      shown = i;
    }
  }
  return shown.value_or(0);
}

}  // namespace velto::host
