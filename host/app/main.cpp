// velto-widget-host, velto-widget-render and velto-widget-desktop: start the
// widget extension, ask it for what the widget shows and draw it. One command
// line for all three; each program links the drawing libraries its commands use
// (see drawing_command.hpp).

#include <cerrno>
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <signal.h>
#include <sysexits.h>
#include <unistd.h>

#include "host/app/autostart_command.hpp"
#include "host/app/bar_command.hpp"
#include "host/app/desktop_arguments.hpp"
#include "host/app/display_available.hpp"
#include "host/app/drawing_command.hpp"
#include "host/app/gallery_command.hpp"
#include "host/app/list_command.hpp"
#include "host/app/render_arguments.hpp"
#include "host/app/terminal_arguments.hpp"
#include "velto/version.hpp"

namespace {

constexpr const char* kProgram = "velto-widget-host";

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return status;
}

/// Which standard descriptors were closed when the program started.
struct ClosedStandardDescriptors {
  bool input = false;
  bool output = false;
};

/// Opens /dev/null on each standard descriptor that is closed, before anything
/// else opens one: else GLib's eventfd would become our stdin, or an output
/// file our stderr. Ends the program when even that fails.
ClosedStandardDescriptors reopenClosedStandardDescriptors() {
  ClosedStandardDescriptors closed;
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) {
      continue;
    }
    // open() takes the lowest free number: this one, as those below are open.
    const int opened = ::open("/dev/null", (fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) | O_NOCTTY);
    if (opened != fd) {
      std::_Exit(EX_OSERR);
    }
    closed.input = closed.input || fd == STDIN_FILENO;
    closed.output = closed.output || fd == STDOUT_FILENO;
  }
  return closed;
}

}  // namespace

int main(int argc, char** argv) {
  const ClosedStandardDescriptors closedAtStart = reopenClosedStandardDescriptors();
  // A vanished extension must end a write with EPIPE, not end the host.
  ::signal(SIGPIPE, SIG_IGN);
  CLI::App app("Draws the Velto timer widget from its extension.", kProgram);
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", std::string(velto::kVersion), "Print the version and exit");
  velto::host::RenderArguments renderArguments;
  velto::host::addRenderCommand(app, renderArguments);
  velto::host::AutostartCommand autostartCommand(app);
  velto::host::ListCommand listCommand(app);
  velto::host::BarCommand barCommand(app);
  velto::host::GalleryCommand galleryCommand(app);
  velto::host::DesktopArguments desktopArguments;
  CLI::App* desktop = velto::host::addDesktopCommand(app, desktopArguments);
  velto::host::TerminalArguments terminalArguments;
  CLI::App* terminal = velto::host::addTerminalCommand(app, terminalArguments);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return EX_OK;
  } catch (const CLI::CallForAllHelp&) {
    std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), stdout);
    return EX_OK;
  } catch (const CLI::CallForVersion&) {
    std::printf("%s %s\n", kProgram, std::string(velto::kVersion).c_str());
    return EX_OK;
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    for (char& c : message) {
      c = c == '\n' ? ' ' : c;
    }
    return fail(EX_USAGE, message + " (see --help)");
  }

  using velto::host::DrawingCommand;
  const velto::host::DrawingCommandLine line{
      argc, argv, desktopArguments, renderArguments, galleryCommand, listCommand};
  if (autostartCommand.chosen()) {
    return autostartCommand.run();
  }
  if (listCommand.chosen()) {
    return velto::host::runDrawingCommand(DrawingCommand::list, line);
  }
  if (barCommand.chosen()) {
    return barCommand.run(closedAtStart.output);
  }
  if (galleryCommand.chosen()) {
    return velto::host::runDrawingCommand(DrawingCommand::gallery, line);
  }
  // With no subcommand the widget shows live: on the desktop when there is one,
  // else in this terminal.
  const bool live = app.get_subcommands().empty();
  if (desktop->parsed() || (live && velto::host::displayAvailable())) {
    return velto::host::runDrawingCommand(DrawingCommand::desktop, line);
  }
  if (terminal->parsed() || live) {
    const auto outcome = velto::host::runTerminal(velto::host::terminalRequest(terminalArguments));
    return outcome.message.empty() ? outcome.status : fail(outcome.status, outcome.message);
  }
  return velto::host::runDrawingCommand(DrawingCommand::render, line);
}
