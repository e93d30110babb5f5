#pragma once

#include <vector>

#include "platform/foundation/date.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/timeline.hpp"

namespace velto::host {

/// An entry as the host receives it: from `date` on, show `view` (the widget's
/// tree for one family, container background included).
struct ViewEntry {
  platform::foundation::Date date;
  platform::ui::View view;

  friend bool operator==(const ViewEntry&, const ViewEntry&) = default;
};

/// A timeline as the host keeps it.
using ViewTimeline = platform::widgets::Timeline<ViewEntry>;

}  // namespace velto::host
