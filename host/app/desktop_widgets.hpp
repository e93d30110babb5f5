#pragma once

// The desktop's widgets: one window per placement and monitor, all fed by one
// live host and so by one extension. Placements come and go as the settings
// file and the monitors change; a window whose placement did not change is
// left alone, so it neither flickers nor asks the extension again.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtk/gtk.h>

#include "host/backends/gtk/desktop_options.hpp"
#include "host/backends/gtk/gtk_backend.hpp"
#include "host/live/live_host.hpp"
#include "host/live/timeout.hpp"
#include "host/placements/placement.hpp"

namespace velto::host {

class DesktopWidgets {
 public:
  /// `log` gets the windows' problems, `note` one line per window opened or
  /// closed; `empty` is called once no window is left because the person
  /// closed the last one.
  DesktopWidgets(GdkDisplay* display, live::LiveHost& host, gtk::Log log, gtk::Log note,
                 std::function<void()> empty);
  ~DesktopWidgets();
  DesktopWidgets(const DesktopWidgets&) = delete;
  DesktopWidgets& operator=(const DesktopWidgets&) = delete;

  /// Shows exactly `placements` (the settings file's, or the one asked for on
  /// the command line), each once or, with output `*`, once on every monitor.
  void show(std::vector<placements::Placement> placements);

  /// The names of the windows on display ("NAME" or "NAME@MONITOR"), in order.
  std::vector<std::string> names() const;

 private:
  struct Window {
    placements::Placement placement;
    std::unique_ptr<gtk::GtkBackend> backend;
    live::WidgetId widget = 0;
  };

  /// Brings the windows in line with the placements and monitors there are now.
  void apply();
  void open(const placements::Placement& placement);
  void close(const std::string& name);
  /// The person closed `name`'s window: it goes once its signal has returned.
  void closedByPerson(const std::string& name);
  static void onMonitorsChanged(GdkDisplay*, GdkMonitor*, gpointer self);

  GdkDisplay* display_;
  live::LiveHost& host_;
  gtk::Log log_;
  gtk::Log note_;
  std::function<void()> empty_;
  std::vector<placements::Placement> wanted_;
  std::vector<std::string> monitors_;
  std::map<std::string, Window> windows_;
  std::vector<std::string> closing_;
  live::Timeout closeLater_;
  live::Timeout monitorsSettled_;
  gulong monitorAdded_ = 0;
  gulong monitorRemoved_ = 0;
};

}  // namespace velto::host
