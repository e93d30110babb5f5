#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <glib.h>

#include "host/client/line_framer.hpp"
#include "host/client/rpc_client.hpp"
#include "host/live/child_process.hpp"
#include "host/live/folder_watch.hpp"
#include "host/live/link_opener.hpp"
#include "host/live/timeout.hpp"
#include "host/live/wall_clock_timer.hpp"
#include "host/scene/backend.hpp"
#include "host/scheduler/widget_scheduler.hpp"
#include "host/supervisor/supervisor.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::live {

/// What a live host runs and how it reports.
struct LiveOptions {
  /// The extension's program.
  std::filesystem::path extension;
  /// One shown widget per family, of the extension's first widget kind; no
  /// family twice.
  std::vector<platform::widgets::WidgetFamily> families;
  /// The shared defaults folder whose changes reload the timelines at once.
  std::filesystem::path defaultsFolder;
  /// Receives one line per event (a start, a reply, a fault, a reload); none when empty.
  std::function<void(std::string_view line)> log;
  /// Called once when the extension's program cannot be run at all (missing, not
  /// executable, not a program), with one line naming it: nothing will be shown
  /// any more, and the owner ends. Without it the host only stops.
  std::function<void(std::string_view reason)> gaveUp;
  /// Opens deep links; the desktop's handler unless a test gives another.
  LaunchUri launch = launchWithDesktop;
};

/// Keeps widgets live on one GLib main context: runs the extension under the
/// supervisor's restart policy, asks it for placeholders and timelines as each
/// widget's scheduler says, and hands what is on display to the backend. It
/// wakes only for the child's bytes, a reply deadline, a restart, a scheduler's
/// instant or a change of the defaults folder.
class LiveHost {
 public:
  /// A host on `context` that draws on `backend`; `clock` is the wall clock
  /// the schedulers run on. Nothing starts before start().
  static platform::foundation::Expected<std::unique_ptr<LiveHost>, std::string> create(
      GMainContext* context, Backend& backend, LiveOptions options,
      const platform::foundation::Clock& clock = platform::foundation::SystemClock::shared());

  LiveHost(const LiveHost&) = delete;
  LiveHost& operator=(const LiveHost&) = delete;
  /// Ends the extension (and its process group) and stops every watch.
  ~LiveHost();

  /// Starts the extension and the watches.
  void start();

  /// Opens `url` if a tree on display carries it; a failure shows on the status line.
  bool openLink(std::string_view url);

  /// Draws every widget afresh (the backend's space changed).
  void redraw();

  /// The extension's current process, if one runs (for tests and the log).
  std::optional<pid_t> extensionPid() const;

  /// How many extension processes were started so far.
  int extensionsStarted() const { return started_; }

  /// The scheduler of each shown widget, once the extension has declared its kind.
  const std::vector<WidgetScheduler>& widgets() const { return schedulers_; }

 private:
  LiveHost(GMainContext* context, Backend& backend, LiveOptions options,
           const platform::foundation::Clock& clock);

  void carryOut(const SupervisorAction& action);
  void spawnChild();
  void send(const platform::widgets::protocol::RequestParams& params);
  void received(std::string_view bytes);
  void replied(const RpcReply& reply);
  void refused(const RpcReply& reply);
  void initialized(const nlohmann::json& result);
  void placeholderArrived(std::size_t widget, const nlohmann::json& result);
  void timelineArrived(std::size_t widget, const nlohmann::json& result);
  void childExited(int waitStatus);
  void fault(std::string reason);
  void lostRequests(const std::vector<RpcTimeout>& lost);
  void deadlinePassed();
  void armDeadline();
  void defaultsChanged();
  /// Brings one widget's scheduler to now and does what it says: draw, ask for
  /// a timeline, wake again.
  void advanceWidget(std::size_t widget);
  void advanceAllWidgets();
  /// The widget shown in `family`, once the extension has declared its kind.
  std::optional<std::size_t> widgetIn(platform::widgets::WidgetFamily family) const;
  void offerLinks();
  void log(const std::string& line) const;

  GMainContext* context_;
  Backend& backend_;
  LiveOptions options_;
  const platform::foundation::Clock& clock_;

  Supervisor supervisor_;
  RpcClient rpc_;
  LineFramer framer_;
  std::unique_ptr<ChildProcess> child_;
  bool childBroken_ = false;  // a fault was found; its further bytes are ignored
  bool childReady_ = false;   // answered initialize
  int started_ = 0;

  std::string kind_;
  std::vector<WidgetScheduler> schedulers_;
  std::vector<std::unique_ptr<WallClockTimer>> wakeTimers_;

  Timeout replyDeadline_;
  Timeout restart_;
  std::unique_ptr<FolderWatch> folderWatch_;
  LinkOpener linkOpener_;
};

}  // namespace velto::host::live
