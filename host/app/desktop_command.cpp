#include "host/app/desktop_command.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <gtk/gtk.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sysexits.h>
#include <unistd.h>

#include "host/app/display_available.hpp"
#include "host/backends/gtk/display_loss.hpp"
#include "host/backends/gtk/gtk_backend.hpp"
#include "host/backends/gtk/position_store.hpp"
#include "host/backends/gtk/window_surface.hpp"
#include "host/live/live_host.hpp"
#include "host/live/signal_watch.hpp"
#include "platform/foundation/defaults_folder.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host {
namespace {

using platform::foundation::Date;
using platform::widgets::WidgetFamily;

constexpr const char* kProgram = "velto-widget-host";
/// The connection to the display broke while the widget showed.
constexpr int kDisplayClosed = EX_IOERR;

void printToStderr(std::string_view line) {
  std::fprintf(stderr, "%s: %.*s\n", kProgram, static_cast<int>(line.size()), line.data());
}

}  // namespace

int runDesktop(int argc, char** argv, const DesktopRequest& request) {
  const auto defaultsFolder = platform::foundation::defaultsDirectory();
  if (defaultsFolder.empty()) {
    printToStderr(platform::foundation::kNoDefaultsFolder);
    return EX_CONFIG;
  }
  if (!displayAvailable()) {
    printToStderr("no display to show the widget on (neither WAYLAND_DISPLAY nor DISPLAY answers)");
    return EX_UNAVAILABLE;
  }
  // The widget draws with Cairo; GL would map a software renderer for nothing.
  setenv("GDK_GL", "disable", 0);
  g_set_prgname("velto-widget-host");
  g_set_application_name("Velto Timer");
  gdk_set_program_class("velto-widget-host");
  if (!gtk_init_check(&argc, &argv)) {
    printToStderr("cannot open the display");
    return EX_UNAVAILABLE;
  }
  GdkDisplay* display = gdk_display_get_default();
  if (gtk::surfaceKind(display) == gtk::SurfaceKind::plainWayland && x11Answers()
      && std::getenv("GDK_BACKEND") == nullptr) {
    // Without the layer shell, only X11 (through XWayland) keeps a window below.
    printToStderr(
        "this Wayland desktop offers no layer shell; going through XWayland to stay below");
    setenv("GDK_BACKEND", "x11", 1);
    execv("/proc/self/exe", argv);
    printToStderr(std::string("cannot restart through XWayland: ") + std::strerror(errno));
  }

  gtk::DesktopOptions options;
  options.family = request.family;
  options.corner = request.corner;
  options.margin = request.margin;
  options.output = request.output;
  options.appearance = request.appearance;
  options.positionFile = gtk::positionFile(platform::widgets::familyName(request.family),
                                           std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  options.logRedraws = request.verbose && std::getenv("VELTO_LOG_REDRAWS") != nullptr;

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  int status = EX_OK;
  {
    gtk::GtkBackend backend(
        options, [](std::string_view line) { printToStderr(line); },
        [loop] { g_main_loop_quit(loop); });
    if (request.verbose) {
      printToStderr("showing the widget as a " + std::string(backend.surfaceName()));
    }
    live::LiveOptions liveOptions;
    liveOptions.extension = request.extension;
    liveOptions.families = {request.family};
    liveOptions.defaultsFolder = defaultsFolder;
    if (request.verbose) {
      liveOptions.log = [](std::string_view line) { printToStderr(line); };
    }
    liveOptions.gaveUp = [&status, loop](std::string_view reason) {
      printToStderr(reason);
      status = EX_UNAVAILABLE;
      g_main_loop_quit(loop);
    };
    auto host = live::LiveHost::create(nullptr, backend, std::move(liveOptions));
    const gtk::DisplayLossWatch displayLoss(display, [&host] {
      printToStderr("the display closed");
      // Closes the extension's pipes and ends its process group.
      if (host) {
        host->reset();
      }
      _exit(kDisplayClosed);
    });
    if (!host) {
      printToStderr("cannot run the widget: " + host.error());
      status = EX_OSERR;
    } else {
      live::LiveHost& live = **host;
      backend.setOpenLink([&live](std::string_view url) { live.openLink(url); });
      const auto quit = [loop] { g_main_loop_quit(loop); };
      live::SignalWatch term(nullptr, SIGTERM, quit);
      live::SignalWatch interrupt(nullptr, SIGINT, quit);
      live::SignalWatch hangUp(nullptr, SIGHUP, quit);
      live.start();
      g_main_loop_run(loop);
      // The host ends the extension before the window goes.
      host->reset();
    }
  }
  g_main_loop_unref(loop);
  return status;
}

}  // namespace velto::host
