#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "host/placements/placement.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host {

/// The command line of `velto-widget-host desktop`, as parsed. A placement
/// option left out stays empty: without any, the settings file decides.
struct DesktopArguments {
  std::optional<std::string> family;
  std::optional<std::string> position;
  std::optional<int> margin;
  std::optional<std::string> output;
  std::optional<std::string> appearance;
  std::optional<std::string> extension;
  bool verbose = false;
};

/// Adds the `desktop` subcommand to `app`, filling `arguments`.
CLI::App* addDesktopCommand(CLI::App& app, DesktopArguments& arguments);

/// The placement the options ask for (unnamed; what they leave out at its
/// default), or nothing when none was given.
std::optional<placements::Placement> placementOf(const DesktopArguments& arguments);

/// The placement options as arguments again, to hand to the running host.
std::vector<std::string> placementArguments(const DesktopArguments& arguments);

/// The placement that `arguments` (as placementArguments() makes them) ask
/// for, named after them so that asking twice shows it once; nothing for none.
platform::foundation::Expected<std::optional<placements::Placement>, std::string>
placementFromArguments(std::span<const std::string> arguments);

}  // namespace velto::host
