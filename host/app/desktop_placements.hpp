#pragma once

// Which placements the desktop shows: the settings file's, followed live, or
// the one given on the command line; and those that later launches in the
// session asked for.

#include <memory>
#include <optional>
#include <vector>

#include "host/app/desktop_widgets.hpp"
#include "host/app/settings_follower.hpp"
#include "host/placements/placement.hpp"
#include "host/session/host_request.hpp"

namespace velto::host {

class DesktopPlacements {
 public:
  /// Shows on `widgets` the placement `only` if given, else the settings
  /// file's. `note` gets a line for each request of a later launch.
  DesktopPlacements(DesktopWidgets& widgets, std::optional<placements::Placement> only,
                    gtk::Log note);
  DesktopPlacements(const DesktopPlacements&) = delete;
  DesktopPlacements& operator=(const DesktopPlacements&) = delete;

  /// Reads the settings and opens the windows.
  void start();

  /// A later launch asked: read the settings again, and show its placement too.
  void asked(const session::HostRequest& request);

 private:
  void showAll();

  DesktopWidgets& widgets_;
  gtk::Log note_;
  std::vector<placements::Placement> base_;
  std::vector<placements::Placement> added_;
  std::unique_ptr<SettingsFollower> follower_;
};

}  // namespace velto::host
