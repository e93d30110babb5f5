#pragma once

#include "platform/widgets/widget_family.hpp"

namespace platform::widgets {

/// A size in points.
struct Size {
  double width = 0.0;
  double height = 0.0;
  friend constexpr bool operator==(const Size&, const Size&) = default;
};

/// What the host tells a provider about the request it makes.
struct TimelineProviderContext {
  WidgetFamily family = WidgetFamily::systemSmall;
  /// True when the host asks for a gallery preview rather than for a placed widget.
  bool isPreview = false;
  Size displaySize;
};

}  // namespace platform::widgets
