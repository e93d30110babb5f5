#pragma once

#include "platform/ui/view.hpp"

namespace velto::host {

/// Whether the tree holds, anywhere (labels, link labels and backgrounds
/// included), a timer text with an anchor: one whose readout changes every second.
bool holdsLiveTimer(const platform::ui::View& view);

}  // namespace velto::host
