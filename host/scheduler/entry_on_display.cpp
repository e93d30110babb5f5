#include "host/scheduler/entry_on_display.hpp"

namespace velto::host {

std::optional<std::size_t> entryOnDisplay(
    std::span<const platform::widgets::protocol::EntryMessage> entries,
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
