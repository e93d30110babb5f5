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

/// Names one shown widget for as long as it is shown.
using WidgetId = std::uint64_t;

/// Keeps widgets live on one GLib main context: runs one extension for all of
/// them under the supervisor's restart policy, asks it for placeholders and
/// timelines as each widget's scheduler says, and hands what is on display to
/// that widget's backend. It wakes only for the child's bytes, a reply
/// deadline, a restart, a scheduler's instant or a change of the defaults folder.
class LiveHost {
 public:
  /// A host on `context`; `clock` is the wall clock the schedulers run on.
  /// Nothing starts before start().
  static platform::foundation::Expected<std::unique_ptr<LiveHost>, std::string> create(
      GMainContext* context, LiveOptions options,
      const platform::foundation::Clock& clock = platform::foundation::SystemClock::shared());

  LiveHost(const LiveHost&) = delete;
  LiveHost& operator=(const LiveHost&) = delete;
  /// Ends the extension (and its process group) and stops every watch.
  ~LiveHost();

  /// Shows a widget of the extension's first kind in `family` on `backend`,
  /// which must outlive it (or its removeWidget()). Before start() or at any
  /// time after; several widgets may share a family or a backend.
  WidgetId addWidget(platform::widgets::WidgetFamily family, Backend& backend);
  /// Stops showing a widget; its backend is not called again.
  void removeWidget(WidgetId widget);

  /// Starts the extension and the watches.
  void start();

  /// Opens `url` if a tree on display carries it; a failure shows on the status
  /// line of `from`, the backend the person clicked on.
  bool openLink(std::string_view url, Backend& from);

  /// The extension's current process, if one runs (for tests and the log).
  std::optional<pid_t> extensionPid() const;

  /// How many extension processes were started so far.
  int extensionsStarted() const { return started_; }

  /// The scheduler of `widget`, once the extension has declared its kind.
  const WidgetScheduler* scheduler(WidgetId widget) const;

 private:
  struct Widget {
    WidgetId id;
    platform::widgets::WidgetFamily family;
    Backend* backend;
    std::optional<WidgetScheduler> scheduler;
    /// When its scheduler wants to be advanced next, if ever.
    std::optional<platform::foundation::Date> wakeAt;
  };

  LiveHost(GMainContext* context, LiveOptions options, const platform::foundation::Clock& clock);

  void carryOut(const SupervisorAction& action);
  void spawnChild();
  void send(const platform::widgets::protocol::RequestParams& params, RpcTag tag = 0);
  void received(std::string_view bytes);
  void replied(const RpcReply& reply);
  void refused(const RpcReply& reply);
  void initialized(const nlohmann::json& result);
  void placeholderArrived(Widget& widget, const nlohmann::json& result);
  void timelineArrived(Widget& widget, const nlohmann::json& result);
  void childExited(int waitStatus);
  void fault(std::string reason);
  void lostRequests(const std::vector<RpcTimeout>& lost);
  void deadlinePassed();
  void armDeadline();
  void defaultsChanged();
  /// Gives a widget its scheduler once the kind is known and asks for its placeholder.
  void beginShowing(Widget& widget);
  /// Brings one widget's scheduler to now and does what it says: draw, ask for
  /// a timeline, wake again.
  void advanceWidget(WidgetId id);
  void advanceAllWidgets();
  /// Sets the one wall-clock timer to the earliest instant a widget wants, so
  /// widgets that tick on the same second share one wake-up.
  void armWake();
  void wallClock(WallClockEvent event);
  Widget* find(WidgetId id) const;
  void offerLinks();
  void log(const std::string& line) const;

  GMainContext* context_;
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
  std::vector<std::unique_ptr<Widget>> widgets_;
  WidgetId nextWidget_ = 1;
  std::unique_ptr<WallClockTimer> wake_;

  Timeout replyDeadline_;
  Timeout restart_;
  std::unique_ptr<FolderWatch> folderWatch_;
  LinkOpener linkOpener_;
};

}  // namespace velto::host::live
