#include "host/app/desktop_arguments.hpp"

namespace velto::host {

CLI::App* addDesktopCommand(CLI::App& app, DesktopArguments& arguments) {
  CLI::App* desktop = app.add_subcommand("desktop", "Show the live widget on the desktop");
  desktop->add_option("--family", arguments.family, "Size: small or medium")
      ->check(CLI::IsMember({"small", "medium"}))
      ->capture_default_str();
  desktop
      ->add_option("--position", arguments.position,
                   "Corner: top-right, top-left, bottom-right or bottom-left")
      ->check(CLI::IsMember({"top-right", "top-left", "bottom-right", "bottom-left"}))
      ->capture_default_str();
  desktop->add_option("--margin", arguments.margin, "Distance from the corner's edges, in points")
      ->check(CLI::Range(0, 10'000))
      ->capture_default_str();
  desktop->add_option("--output", arguments.output, "Monitor to show on (its output name)");
  desktop
      ->add_option("--appearance", arguments.appearance,
                   "light or dark; by default the desktop's, followed live")
      ->check(CLI::IsMember({"light", "dark"}));
  desktop->add_option("--extension", arguments.extension,
                      "The widget extension to run (default: velto-widget-extension beside this "
                      "program)");
  desktop->add_flag("--verbose", arguments.verbose, "Log what happens on stderr");
  return desktop;
}

}  // namespace velto::host
