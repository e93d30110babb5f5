#include "host/app/terminal_arguments.hpp"

#include "host/app/extension_location.hpp"

namespace velto::host {

CLI::App* addTerminalCommand(CLI::App& app, TerminalArguments& arguments) {
  CLI::App* terminal = app.add_subcommand(
      "terminal",
      "Show the widget live in this terminal (the default): q quits, t and s press "
      "its buttons");
  terminal->add_option("--family", arguments.family, "Size to show: small or medium")
      ->check(CLI::IsMember({"small", "medium"}))
      ->capture_default_str();
  terminal
      ->add_option("--appearance", arguments.appearance,
                   "light or dark; by default the desktop's preference, else the terminal's "
                   "background, else dark")
      ->check(CLI::IsMember({"light", "dark"}));
  terminal->add_option("--extension", arguments.extension,
                       "The widget extension to run (default: velto-widget-extension beside "
                       "this program)");
  terminal->add_flag("--verbose", arguments.verbose,
                     "Log every start, reply, fault and reload on stderr, one line each");
  return terminal;
}

TerminalRequest terminalRequest(const TerminalArguments& arguments) {
  TerminalRequest request;
  request.family = platform::widgets::familyFromName(arguments.family)
                       .value_or(platform::widgets::WidgetFamily::systemSmall);
  if (arguments.appearance) {
    request.appearance =
        *arguments.appearance == "dark" ? render::Appearance::dark : render::Appearance::light;
  }
  request.extension =
      extensionPath(arguments.extension ? std::optional<std::filesystem::path>(*arguments.extension)
                                        : std::nullopt);
  request.verbose = arguments.verbose;
  return request;
}

}  // namespace velto::host
