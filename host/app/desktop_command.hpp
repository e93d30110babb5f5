#pragma once

// `velto-widget-host desktop`: the live widget in a window on the desktop.

#include <filesystem>
#include <optional>
#include <string>

#include "host/backends/gtk/window_geometry.hpp"
#include "host/render/appearance.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

struct DesktopRequest {
  platform::widgets::WidgetFamily family = platform::widgets::WidgetFamily::systemSmall;
  gtk::Corner corner = gtk::Corner::topRight;
  int margin = 24;
  std::optional<std::string> output;
  /// A fixed appearance; by default the desktop's, followed live.
  std::optional<render::Appearance> appearance;
  std::filesystem::path extension;
  bool verbose = false;
};

/// Shows the widget until SIGTERM, SIGINT or SIGHUP, or until its window is
/// closed. Returns the exit status; problems are written to stderr in one line
/// each (no display at all: EX_UNAVAILABLE). When the X11 display closes under
/// it, it says so, ends the extension and exits EX_IOERR at once.
int runDesktop(int argc, char** argv, const DesktopRequest& request);

}  // namespace velto::host
