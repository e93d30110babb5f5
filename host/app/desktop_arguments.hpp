#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace velto::host {

/// The command line of `velto-widget-host desktop`, as parsed.
struct DesktopArguments {
  std::string family = "small";
  std::string position = "top-right";
  int margin = 24;
  std::optional<std::string> output;
  std::optional<std::string> appearance;
  std::optional<std::string> extension;
  bool verbose = false;
};

/// Adds the `desktop` subcommand to `app`, filling `arguments`.
CLI::App* addDesktopCommand(CLI::App& app, DesktopArguments& arguments);

}  // namespace velto::host
