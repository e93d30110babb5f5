#pragma once

// `velto-widget-host desktop`: the live widget in a window on the desktop.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/placements/placement.hpp"

namespace velto::host {

struct DesktopRequest {
  /// The one placement to show instead of the settings file's, for trying
  /// things out; nothing: the settings file's, followed live.
  std::optional<placements::Placement> placement;
  /// The same placement as it was given on the command line.
  std::vector<std::string> placementArguments;
  std::filesystem::path extension;
  bool verbose = false;
};

/// Shows the widgets until SIGTERM, SIGINT or SIGHUP, or until the person
/// closes the last window. Returns the exit status; problems are written to
/// stderr in one line each (no display at all: EX_UNAVAILABLE). When the X11
/// display closes under it, it says so, ends the extension and exits EX_IOERR
/// at once. When another host already runs in the session, it asks that one to
/// read the settings again (and to show the placement asked for, if any),
/// says so, and returns 0 without opening a window.
int runDesktop(int argc, char** argv, const DesktopRequest& request);

}  // namespace velto::host
