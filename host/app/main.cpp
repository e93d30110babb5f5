// velto-widget-host: starts the widget extension, asks it for what the widget
// shows and draws it.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <signal.h>
#include <sysexits.h>
#include <unistd.h>

#include "host/app/autostart_command.hpp"
#include "host/app/bar_command.hpp"
#include "host/app/desktop_appearance.hpp"
#include "host/app/desktop_command.hpp"
#include "host/app/extension_session.hpp"
#include "host/app/gallery_command.hpp"
#include "host/app/instant_argument.hpp"
#include "host/app/list_command.hpp"
#include "host/app/pending_output.hpp"
#include "host/app/render_command.hpp"
#include "host/app/terminal_arguments.hpp"
#include "platform/foundation/clock.hpp"
#include "velto/version.hpp"

namespace {

using platform::widgets::WidgetFamily;
using velto::host::cairo::ImageFormat;
using velto::host::render::Appearance;

constexpr const char* kProgram = "velto-widget-host";
constexpr double kMinScale = 0.25;

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

struct RenderArguments {
  std::string family = "small";
  double scale = 2.0;
  std::optional<std::string> appearance;
  std::optional<std::string> format;
  std::string out;
  std::optional<std::string> at;
  bool placeholder = false;
  std::optional<std::string> extension;
};

void addRenderCommand(CLI::App& app, RenderArguments& arguments) {
  CLI::App* render = app.add_subcommand(
      "render", "Draw the widget as it shows now (or at --at) to a PNG or SVG file");
  render->add_option("--family", arguments.family, "Size to draw: small, medium or all")
      ->check(CLI::IsMember({"small", "medium", "all"}))
      ->capture_default_str();
  render->add_option("--scale", arguments.scale, "Pixels per point of a PNG")
      ->check(CLI::Range(kMinScale, velto::host::cairo::kMaxScale))
      ->capture_default_str();
  render
      ->add_option("--appearance", arguments.appearance,
                   "light or dark; by default the desktop's preference, else light")
      ->check(CLI::IsMember({"light", "dark"}));
  render->add_option("--format", arguments.format, "png or svg; by default from --out's name")
      ->check(CLI::IsMember({"png", "svg"}));
  render
      ->add_option("--out", arguments.out,
                   "File to write, - for standard output (PNG unless --format svg); with "
                   "--family all, NAME-small.EXT and NAME-medium.EXT beside it")
      ->required();
  render->add_option("--at", arguments.at,
                     "Instant to draw: ISO-8601 (2026-12-06T21:30:00Z), seconds since 2001, or "
                     "@UNIX-SECONDS; default now");
  render->add_flag("--placeholder", arguments.placeholder, "Draw the placeholder entry");
  render->add_option("--extension", arguments.extension,
                     "The widget extension to run (default: velto-widget-extension beside this "
                     "program)");
}

/// Turns the parsed arguments into a request, or the usage error they make.
std::variant<velto::host::RenderRequest, std::string> renderRequest(const RenderArguments& args) {
  velto::host::RenderRequest request;
  if (args.family == "all") {
    request.families = {WidgetFamily::systemSmall, WidgetFamily::systemMedium};
    request.oneFilePerFamily = true;
  } else {
    request.families = {args.family == "small" ? WidgetFamily::systemSmall
                                               : WidgetFamily::systemMedium};
  }
  // A range check alone lets "nan" through: no comparison with it is true.
  if (!std::isfinite(args.scale) || args.scale < kMinScale
      || args.scale > velto::host::cairo::kMaxScale) {
    return std::string("--scale: give a number from 0.25 to 16");
  }
  request.scale = args.scale;
  request.out = args.out;
  const bool toStandardOutput = args.out == velto::host::PendingOutput::kStandardOutput;
  if (toStandardOutput && request.oneFilePerFamily) {
    return std::string("--out -: standard output takes one image; give --family small or medium");
  }

  std::string format = args.format.value_or(toStandardOutput ? "png" : "");
  if (format.empty()) {
    const std::string extension = request.out.extension().string();
    if (extension != ".png" && extension != ".svg") {
      return std::string("cannot tell the format from '" + args.out
                         + "': name it .png or .svg, or give --format");
    }
    format = extension.substr(1);
  }
  request.format = format == "svg" ? ImageFormat::svg : ImageFormat::png;

  if (args.appearance) {
    request.appearance = *args.appearance == "dark" ? Appearance::dark : Appearance::light;
  } else {
    request.appearance =
        velto::host::desktopPrefersDark().value_or(false) ? Appearance::dark : Appearance::light;
  }

  if (args.at) {
    const auto instant = velto::host::parseInstant(*args.at);
    if (!instant) {
      return "--at: " + instant.error();
    }
    request.instant = *instant;
  } else {
    request.instant = platform::foundation::SystemClock::shared().now();
  }
  request.placeholder = args.placeholder;
  request.extension = velto::host::extensionPath(
      args.extension ? std::optional<std::filesystem::path>(*args.extension) : std::nullopt);
  return request;
}

struct DesktopArguments {
  std::string family = "small";
  std::string position = "top-right";
  int margin = 24;
  std::optional<std::string> output;
  std::optional<std::string> appearance;
  std::optional<std::string> extension;
  bool verbose = false;
};

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

velto::host::DesktopRequest desktopRequest(const DesktopArguments& args) {
  velto::host::DesktopRequest request;
  request.family = args.family == "medium" ? WidgetFamily::systemMedium : WidgetFamily::systemSmall;
  request.corner = velto::host::gtk::parseCorner(args.position).value_or(request.corner);
  request.margin = args.margin;
  request.output = args.output;
  if (args.appearance) {
    request.appearance = *args.appearance == "dark" ? Appearance::dark : Appearance::light;
  }
  request.extension = velto::host::extensionPath(
      args.extension ? std::optional<std::filesystem::path>(*args.extension) : std::nullopt);
  request.verbose = args.verbose;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const ClosedStandardDescriptors closedAtStart = reopenClosedStandardDescriptors();
  // A vanished extension must end a write with EPIPE, not end the host.
  ::signal(SIGPIPE, SIG_IGN);
  CLI::App app("Draws the Velto timer widget from its extension.", kProgram);
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", std::string(velto::kVersion), "Print the version and exit");
  RenderArguments renderArguments;
  addRenderCommand(app, renderArguments);
  velto::host::AutostartCommand autostartCommand(app);
  velto::host::ListCommand listCommand(app);
  velto::host::BarCommand barCommand(app);
  velto::host::GalleryOption galleryOption(app);
  DesktopArguments desktopArguments;
  CLI::App* desktop = addDesktopCommand(app, desktopArguments);
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

  if (autostartCommand.chosen()) {
    return autostartCommand.run();
  }
  if (listCommand.chosen()) {
    return listCommand.run();
  }
  if (barCommand.chosen()) {
    return barCommand.run(closedAtStart.output);
  }
  if (galleryOption.chosen()) {
    return galleryOption.run();
  }
  // With no subcommand the widget shows live: on the desktop when there is one,
  // else in this terminal.
  const bool live = app.get_subcommands().empty();
  if (desktop->parsed() || (live && velto::host::displayAvailable())) {
    return velto::host::runDesktop(argc, argv, desktopRequest(desktopArguments));
  }
  if (terminal->parsed() || live) {
    const auto outcome = velto::host::runTerminal(velto::host::terminalRequest(terminalArguments));
    return outcome.message.empty() ? outcome.status : fail(outcome.status, outcome.message);
  }
  auto request = renderRequest(renderArguments);
  if (const auto* usage = std::get_if<std::string>(&request)) {
    return fail(EX_USAGE, *usage);
  }
  if (const auto failure = velto::host::runRender(std::get<velto::host::RenderRequest>(request))) {
    return fail(failure->status, failure->message);
  }
  return EX_OK;
}
