#include "host/app/desktop_arguments.hpp"

#include <exception>

#include "host/placements/corner.hpp"
#include "host/placements/placement.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {
namespace {

/// The options that say where and how one widget shows.
void addPlacementOptions(CLI::App& command, DesktopArguments& arguments) {
  command.add_option("--family", arguments.family, "Size: small or medium (default: small)")
      ->check(CLI::IsMember({"small", "medium"}));
  command
      .add_option("--position", arguments.position,
                  "Corner: top-right (default), top-left, bottom-right or bottom-left")
      ->check(CLI::IsMember({"top-right", "top-left", "bottom-right", "bottom-left"}));
  command
      .add_option("--margin", arguments.margin,
                  "Distance from the corner's edges, in points (default: 24)")
      ->check(CLI::Range(0, 10'000));
  command.add_option("--output", arguments.output, "Monitor to show on (its output name)");
  command
      .add_option("--appearance", arguments.appearance,
                  "light or dark; by default the desktop's, followed live")
      ->check(CLI::IsMember({"light", "dark"}));
}

}  // namespace

CLI::App* addDesktopCommand(CLI::App& app, DesktopArguments& arguments) {
  CLI::App* desktop = app.add_subcommand(
      "desktop",
      "Show the live widgets of the settings file on the desktop, or with placement options "
      "just that one");
  addPlacementOptions(*desktop, arguments);
  desktop->add_option("--extension", arguments.extension,
                      "The widget extension to run (default: velto-widget-extension beside this "
                      "program)");
  desktop->add_flag("--verbose", arguments.verbose, "Log what happens on stderr");
  return desktop;
}

std::optional<placements::Placement> placementOf(const DesktopArguments& arguments) {
  if (!arguments.family && !arguments.position && !arguments.margin && !arguments.output
      && !arguments.appearance) {
    return std::nullopt;
  }
  placements::Placement placement;
  if (arguments.family) {
    placement.family =
        platform::widgets::familyFromName(*arguments.family).value_or(placement.family);
  }
  if (arguments.position) {
    placement.corner = placements::parseCorner(*arguments.position).value_or(placement.corner);
  }
  placement.margin = arguments.margin.value_or(placement.margin);
  placement.output = arguments.output;
  if (arguments.appearance) {
    placement.appearance = placements::parseAppearance(*arguments.appearance);
  }
  return placement;
}

std::vector<std::string> placementArguments(const DesktopArguments& arguments) {
  std::vector<std::string> words;
  const auto add = [&words](const char* option, const std::optional<std::string>& value) {
    if (value) {
      words.emplace_back(option);
      words.push_back(*value);
    }
  };
  add("--family", arguments.family);
  add("--position", arguments.position);
  add("--margin",
      arguments.margin ? std::optional(std::to_string(*arguments.margin)) : std::nullopt);
  add("--output", arguments.output);
  add("--appearance", arguments.appearance);
  return words;
}

platform::foundation::Expected<std::optional<placements::Placement>, std::string>
placementFromArguments(std::span<const std::string> arguments) {
  CLI::App command("placement");
  DesktopArguments parsed;
  addPlacementOptions(command, parsed);
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    command.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return platform::foundation::Unexpected(std::string(error.what()));
  }
  auto placement = placementOf(parsed);
  if (placement) {
    std::string name;
    for (const std::string& word : placementArguments(parsed)) {
      name += (name.empty() ? "" : " ") + word;
    }
    placement->name = name;
  }
  return placement;
}

}  // namespace velto::host
