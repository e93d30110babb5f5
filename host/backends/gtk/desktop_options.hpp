#pragma once

// How the desktop widget is set up: its size, where it sits and what it logs.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/backends/gtk/window_geometry.hpp"
#include "host/render/appearance.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::gtk {

struct DesktopOptions {
  platform::widgets::WidgetFamily family = platform::widgets::WidgetFamily::systemSmall;
  Corner corner = Corner::topRight;
  /// Logical pixels between the widget and the work area's edges.
  int margin = 24;
  /// The monitor to show on (its model or output name); the primary by default.
  std::optional<std::string> output;
  /// A fixed appearance; by default the desktop's, followed live.
  std::optional<render::Appearance> appearance;
  /// Where a dragged window's position is kept (X11); none: not kept.
  std::optional<std::filesystem::path> positionFile;
  /// Log each redraw's area and each shown button's box, as "WxH+X+Y" in
  /// window pixels (for tests and measurements).
  bool logRedraws = false;
};

/// Writes one line to the log.
using Log = std::function<void(std::string_view line)>;

}  // namespace velto::host::gtk
