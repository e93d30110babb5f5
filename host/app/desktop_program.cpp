// velto-widget-desktop: the live widget in a GTK window.

#include <cstdio>
#include <filesystem>
#include <optional>

#include <sysexits.h>

#include "host/app/desktop_arguments.hpp"
#include "host/app/desktop_command.hpp"
#include "host/app/drawing_command.hpp"
#include "host/app/extension_location.hpp"

namespace velto::host {
namespace {

DesktopRequest desktopRequest(const DesktopArguments& args) {
  DesktopRequest request;
  request.placement = placementOf(args);
  request.placementArguments = placementArguments(args);
  request.extension = extensionPath(
      args.extension ? std::optional<std::filesystem::path>(*args.extension) : std::nullopt);
  request.verbose = args.verbose;
  return request;
}

}  // namespace

int runDrawingCommand(DrawingCommand command, const DrawingCommandLine& line) {
  if (command == DrawingCommand::desktop) {
    return runDesktop(line.argc, line.argv, desktopRequest(line.desktop));
  }
  std::fputs(
      "velto-widget-host: this program shows the live widget only; run velto-widget-host "
      "render or list\n",
      stderr);
  return EX_USAGE;
}

}  // namespace velto::host
