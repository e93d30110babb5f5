#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "host/app/terminal_command.hpp"

namespace velto::host {

/// The command line of `velto-widget-host terminal`, as parsed.
struct TerminalArguments {
  std::string family = "small";
  std::optional<std::string> appearance;
  std::optional<std::string> extension;
  bool verbose = false;
};

/// Adds the `terminal` subcommand to `app`, filling `arguments`.
CLI::App* addTerminalCommand(CLI::App& app, TerminalArguments& arguments);

/// The request the arguments make.
TerminalRequest terminalRequest(const TerminalArguments& arguments);

}  // namespace velto::host
