#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "host/render/appearance.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

/// What `velto-widget-host terminal` was asked to show.
struct TerminalRequest {
  platform::widgets::WidgetFamily family = platform::widgets::WidgetFamily::systemSmall;
  /// Nothing: the desktop's preference, else the terminal's background, else dark.
  std::optional<render::Appearance> appearance;
  std::filesystem::path extension;
  /// One line per event on stderr.
  bool verbose = false;
};

/// How a terminal session ended: a sysexits status, and a line for a person
/// when it ended by an error.
struct TerminalOutcome {
  int status = 0;
  std::string message;
};

/// Shows the widget live on the terminal of stdin and stdout until q, Ctrl-C,
/// SIGTERM or SIGHUP, then restores the terminal and ends the extension. With
/// TERM=dumb it prints plain lines instead, to any stdout, and reads keys only
/// when stdin is a terminal.
TerminalOutcome runTerminal(const TerminalRequest& request);

}  // namespace velto::host
