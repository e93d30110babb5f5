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
#include <variant>

#include <gtk/gtk.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sysexits.h>
#include <unistd.h>

#include "host/app/desktop_placements.hpp"
#include "host/app/desktop_widgets.hpp"
#include "host/app/display_available.hpp"
#include "host/backends/gtk/display_loss.hpp"
#include "host/backends/gtk/window_surface.hpp"
#include "host/live/live_host.hpp"
#include "host/live/signal_watch.hpp"
#include "host/session/session_host.hpp"
#include "platform/foundation/defaults_folder.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host {
namespace {

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

  // One host per session: a later launch hands its wish to the one running.
  auto wish = session::checkedRequest(request.placementArguments);
  if (!wish) {
    printToStderr(wish.error());
    return EX_USAGE;
  }
  std::function<void(const session::HostRequest&)> asked;
  auto claim = session::claimSession(session::kWidgetHostApplicationId, *wish,
                                     {.requested =
                                          [&asked](const session::HostRequest& later) {
                                            if (asked) {
                                              asked(later);
                                            }
                                          },
                                      .refused = [](std::string_view why) { printToStderr(why); }});
  if (claim && std::holds_alternative<session::ToldRunningHost>(*claim)) {
    printToStderr(request.placement
                      ? "the widget already runs in this session; asked it to show this "
                        "placement too"
                      : "the widget already runs in this session; asked it to read its "
                        "settings again");
    return EX_OK;
  }
  if (!claim) {
    printToStderr("cannot tell whether the widget already runs in this session (" + claim.error()
                  + "); going on");
  }

  const auto note = [&request](std::string_view line) {
    if (request.verbose) {
      printToStderr(line);
    }
  };
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  int status = EX_OK;
  {
    live::LiveOptions liveOptions;
    liveOptions.extension = request.extension;
    liveOptions.defaultsFolder = defaultsFolder;
    if (request.verbose) {
      liveOptions.log = [](std::string_view line) { printToStderr(line); };
    }
    liveOptions.gaveUp = [&status, loop](std::string_view reason) {
      printToStderr(reason);
      status = EX_UNAVAILABLE;
      g_main_loop_quit(loop);
    };
    auto host = live::LiveHost::create(nullptr, std::move(liveOptions));
    if (!host) {
      printToStderr("cannot run the widget: " + host.error());
      g_main_loop_unref(loop);
      return EX_OSERR;
    }
    const gtk::DisplayLossWatch displayLoss(display, [&host] {
      printToStderr("the display closed");
      // Closes the extension's pipes and ends its process group.
      host->reset();
      _exit(kDisplayClosed);
    });
    live::LiveHost& live = **host;
    {
      DesktopWidgets widgets(
          display, live, [](std::string_view line) { printToStderr(line); }, note,
          [loop] { g_main_loop_quit(loop); });
      DesktopPlacements placements(widgets, request.placement, note);
      asked = [&placements](const session::HostRequest& later) { placements.asked(later); };
      const auto quit = [loop] { g_main_loop_quit(loop); };
      live::SignalWatch term(nullptr, SIGTERM, quit);
      live::SignalWatch interrupt(nullptr, SIGINT, quit);
      live::SignalWatch hangUp(nullptr, SIGHUP, quit);
      live.start();
      placements.start();
      g_main_loop_run(loop);
      asked = nullptr;
    }
    // The windows went first; the host ends the extension.
    host->reset();
  }
  g_main_loop_unref(loop);
  return status;
}

}  // namespace velto::host
