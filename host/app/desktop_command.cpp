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

#include "host/app/extension_session.hpp"
#include "host/backends/gtk/gtk_backend.hpp"
#include "host/backends/gtk/position_store.hpp"
#include "host/backends/gtk/window_surface.hpp"
#include "host/live/folder_watch.hpp"
#include "host/live/link_opener.hpp"
#include "host/live/signal_watch.hpp"
#include "host/live/timeout.hpp"
#include "host/live/wall_clock_timer.hpp"
#include "host/scheduler/entry_on_display.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host {
namespace {

using platform::foundation::Date;
using platform::widgets::WidgetFamily;

constexpr const char* kProgram = "velto-widget-host";

void say(std::string_view line) {
  std::fprintf(stderr, "%s: %.*s\n", kProgram, static_cast<int>(line.size()), line.data());
}

/// Whether a Unix socket at `path` accepts a connection.
bool socketAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  platform::foundation::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return fd
         && ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool waylandAnswers() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || name[0] == '\0') {
    return false;
  }
  if (name[0] == '/') {
    return socketAnswers(name);
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && runtime[0] == '/'
         && socketAnswers(std::string(runtime) + "/" + name);
}

bool x11Answers() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') {
    return false;
  }
  const std::string_view text(display);
  if (!text.starts_with(':')) {
    return true;  // a remote display: GTK will tell
  }
  const std::string number(text.substr(1, text.find('.') - 1));
  return !number.empty() && socketAnswers("/tmp/.X11-unix/X" + number);
}

/// Keeps the widget fed until the live host's scheduler and supervisor take
/// over: asks the extension for the placeholder and the timeline, shows the
/// entry on display, ticks on each wall-clock second while showing a timeline,
/// reloads on the policy's date and on any change of the defaults folder, and
/// starts a failed extension again with a doubling backoff.
class DesktopLoop {
 public:
  DesktopLoop(gtk::GtkBackend& backend, std::filesystem::path extension, WidgetFamily family,
              bool verbose)
      : backend_(backend),
        extension_(std::move(extension)),
        family_(family),
        verbose_(verbose),
        opener_(nullptr, backend),
        restart_(nullptr),
        watch_(nullptr, live::defaultsFolder(), [this] { reload("the defaults changed"); }) {
    backend_.setOpenLink([this](std::string_view url) {
      if (verbose_) {
        say("opening " + std::string(url));
      }
      opener_.open(url);
    });
  }

  /// Fails when the kernel refuses a wall-clock timer.
  bool start() {
    auto timer = live::WallClockTimer::create(nullptr, [this](live::WallClockEvent) { wake(); });
    if (!timer) {
      say("cannot keep time: " + timer.error());
      return false;
    }
    timer_ = std::move(*timer);
    connect();
    return true;
  }

 private:
  static Date now() { return platform::foundation::SystemClock::shared().now(); }

  void log(const std::string& line) const {
    if (verbose_) {
      say(line);
    }
  }

  void connect() {
    auto session = ExtensionSession::start(extension_);
    if (!session) {
      fail("cannot start the extension: " + session.error().message);
      return;
    }
    session_.emplace(std::move(*session));
    if (!timeline_) {
      if (auto placeholder = session_->placeholder(family_)) {
        show(live::Scene{family_, placeholder->view, true});
      }
    }
    reload("start-up");
  }

  void fail(const std::string& reason) {
    session_.reset();
    log(reason + "; trying again in " + std::to_string(backoff_.count()) + " ms");
    restart_.start(backoff_, [this] { connect(); });
    backoff_ = std::min(backoff_ * 2, std::chrono::milliseconds(30'000));
  }

  void reload(const std::string& why) {
    if (!session_) {
      return;
    }
    log("reloading: " + why);
    auto timeline = session_->timeline(family_);
    if (!timeline) {
      fail("the extension failed: " + timeline.error().message);
      return;
    }
    backoff_ = std::chrono::milliseconds(250);
    timeline_ = std::move(*timeline);
    shown_.reset();
    wake();
  }

  void show(live::Scene scene) {
    opener_.offer(scene.view);
    backend_.show(scene, secondOf(now()));
  }

  static Date secondOf(Date instant) {
    return Date(std::floor(instant.timeIntervalSinceReferenceDate()));
  }

  /// Brings the widget to now and arms the timer for the next thing due.
  void wake() {
    const Date at = now();
    if (timeline_ && timeline_->policy.date() && at >= *timeline_->policy.date()
        && at.timeIntervalSince(lastReload_) >= 5) {
      lastReload_ = at;
      reload("the timeline's reload date passed");
      return;
    }
    if (timeline_) {
      const auto index = entryOnDisplay(std::span<const HostEntry>(timeline_->entries), at);
      if (index && index != shown_) {
        shown_ = index;
        show(live::Scene{family_, timeline_->entries[*index].view, false});
      } else if (index) {
        backend_.tick(secondOf(at));
      }
    }
    if (timer_) {
      timer_->arm(secondOf(at).addingTimeInterval(1));
    }
  }

  gtk::GtkBackend& backend_;
  std::filesystem::path extension_;
  WidgetFamily family_;
  bool verbose_;
  live::LinkOpener opener_;
  live::Timeout restart_;
  live::FolderWatch watch_;
  std::unique_ptr<live::WallClockTimer> timer_;
  std::optional<ExtensionSession> session_;
  std::optional<HostTimeline> timeline_;
  std::optional<std::size_t> shown_;
  Date lastReload_;
  std::chrono::milliseconds backoff_{250};
};

std::string_view familyName(WidgetFamily family) {
  return family == WidgetFamily::systemMedium ? "medium" : "small";
}

}  // namespace

bool displayAvailable() {
  return waylandAnswers() || x11Answers();
}

int runDesktop(int argc, char** argv, const DesktopRequest& request) {
  if (!displayAvailable()) {
    say("no display to show the widget on (neither WAYLAND_DISPLAY nor DISPLAY answers)");
    return EX_UNAVAILABLE;
  }
  // The widget draws with Cairo; GL would map a software renderer for nothing.
  setenv("GDK_GL", "disable", 0);
  g_set_prgname("velto-widget-host");
  g_set_application_name("Velto Timer");
  gdk_set_program_class("velto-widget-host");
  if (!gtk_init_check(&argc, &argv)) {
    say("cannot open the display");
    return EX_UNAVAILABLE;
  }
  GdkDisplay* display = gdk_display_get_default();
  if (gtk::surfaceKind(display) == gtk::SurfaceKind::plainWayland && x11Answers()
      && std::getenv("GDK_BACKEND") == nullptr) {
    // Without the layer shell, only X11 (through XWayland) keeps a window below.
    say("this Wayland desktop offers no layer shell; going through XWayland to stay below");
    setenv("GDK_BACKEND", "x11", 1);
    execv("/proc/self/exe", argv);
    say(std::string("cannot restart through XWayland: ") + std::strerror(errno));
  }

  gtk::DesktopOptions options;
  options.family = request.family;
  options.corner = request.corner;
  options.margin = request.margin;
  options.output = request.output;
  options.appearance = request.appearance;
  options.positionFile = gtk::positionFile(familyName(request.family),
                                           std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  options.logRedraws = request.verbose && std::getenv("VELTO_LOG_REDRAWS") != nullptr;

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  int status = EX_OK;
  {
    gtk::GtkBackend backend(
        options, [](std::string_view line) { say(line); }, [loop] { g_main_loop_quit(loop); });
    if (request.verbose) {
      say("showing the widget as a " + std::string(backend.surfaceName()));
    }
    DesktopLoop live(backend, request.extension, request.family, request.verbose);
    const auto quit = [loop] { g_main_loop_quit(loop); };
    live::SignalWatch term(nullptr, SIGTERM, quit);
    live::SignalWatch interrupt(nullptr, SIGINT, quit);
    live::SignalWatch hangUp(nullptr, SIGHUP, quit);
    if (live.start()) {
      g_main_loop_run(loop);
    } else {
      status = EX_OSERR;
    }
  }
  g_main_loop_unref(loop);
  return status;
}

}  // namespace velto::host
