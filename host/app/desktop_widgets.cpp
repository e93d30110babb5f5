#include "host/app/desktop_widgets.hpp"

#include <cstdlib>
#include <utility>

#include "host/backends/gtk/position_store.hpp"
#include "host/backends/gtk/window_surface.hpp"
#include "host/placements/placement_changes.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {
namespace {

using placements::Placement;

/// The file a window's dragged position is kept in. The placement of the
/// command line (no name) keeps the family's file, as before there were
/// placements; a named one keeps its own, safe to use as a file name.
std::optional<std::filesystem::path> positionFileOf(const Placement& placement) {
  std::string key = "placement-";
  for (const char c : placement.name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                       || c == '-' || c == '_' || c == '.' || c == '@';
    key += plain ? c : '_';
  }
  return gtk::positionFile(
      placement.name.empty() ? platform::widgets::familyName(placement.family) : key,
      std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

gtk::DesktopOptions desktopOptions(const Placement& placement) {
  gtk::DesktopOptions options;
  options.family = placement.family;
  options.corner = placement.corner;
  options.margin = placement.margin;
  options.output = placement.output;
  options.appearance = placement.appearance;
  options.positionFile = positionFileOf(placement);
  options.logRedraws = std::getenv("VELTO_LOG_REDRAWS") != nullptr;
  return options;
}

}  // namespace

DesktopWidgets::DesktopWidgets(GdkDisplay* display, live::LiveHost& host, gtk::Log log,
                               gtk::Log note, std::function<void()> empty)
    : display_(display),
      host_(host),
      log_(std::move(log)),
      note_(std::move(note)),
      empty_(std::move(empty)),
      closeLater_(nullptr),
      monitorsSettled_(nullptr),
      monitorAdded_(
          g_signal_connect(display, "monitor-added", G_CALLBACK(onMonitorsChanged), this)),
      monitorRemoved_(
          g_signal_connect(display, "monitor-removed", G_CALLBACK(onMonitorsChanged), this)) {}

DesktopWidgets::~DesktopWidgets() {
  g_signal_handler_disconnect(display_, monitorAdded_);
  g_signal_handler_disconnect(display_, monitorRemoved_);
  while (!windows_.empty()) {
    close(windows_.begin()->first);
  }
}

void DesktopWidgets::show(std::vector<Placement> placements) {
  wanted_ = std::move(placements);
  apply();
}

std::vector<std::string> DesktopWidgets::names() const {
  std::vector<std::string> names;
  for (const auto& [name, window] : windows_) {
    names.push_back(name);
  }
  return names;
}

void DesktopWidgets::onMonitorsChanged(GdkDisplay*, GdkMonitor*, gpointer self) {
  // A Wayland monitor is announced before its model, which names it: wait
  // for the rest of its description, and for the other monitors of a burst.
  auto* widgets = static_cast<DesktopWidgets*>(self);
  widgets->monitorsSettled_.start(std::chrono::milliseconds(200), [widgets] { widgets->apply(); });
}

void DesktopWidgets::apply() {
  std::vector<std::string> monitors = gtk::monitorNames(display_);
  if (monitors != monitors_) {
    std::string line;
    for (const std::string& monitor : monitors) {
      line += (line.empty() ? "monitors: " : ", ") + monitor;
    }
    note_(line.empty() ? "no monitor" : line);
    monitors_ = monitors;
  }
  const std::vector<Placement> wanted = placements::placementsOnMonitors(wanted_, monitors);
  std::vector<Placement> shown;
  shown.reserve(windows_.size());
  for (const auto& [name, window] : windows_) {
    shown.push_back(window.placement);
  }
  const placements::PlacementChanges changes = placements::placementChanges(shown, wanted);
  for (const std::string& name : changes.removed) {
    close(name);
    note_("removed the widget " + (name.empty() ? std::string("shown") : "'" + name + "'"));
  }
  for (const Placement& placement : changes.moved) {
    close(placement.name);
    open(placement);
  }
  for (const Placement& placement : changes.added) {
    open(placement);
  }
}

void DesktopWidgets::open(const Placement& placement) {
  const std::string name = placement.name;
  auto backend = std::make_unique<gtk::GtkBackend>(desktopOptions(placement), log_,
                                                   [this, name] { closedByPerson(name); });
  gtk::GtkBackend& shown = *backend;
  const live::WidgetId widget = host_.addWidget(placement.family, shown);
  shown.setOpenLink([this, &shown](std::string_view url) { host_.openLink(url, shown); });
  windows_[name] = Window{placement, std::move(backend), widget};
  note_("showing the widget " + (name.empty() ? std::string() : "'" + name + "' ") + "as a "
        + std::string(shown.surfaceName()));
}

void DesktopWidgets::close(const std::string& name) {
  const auto window = windows_.find(name);
  if (window == windows_.end()) {
    return;
  }
  // The host stops drawing on the window before the window goes.
  host_.removeWidget(window->second.widget);
  windows_.erase(window);
}

void DesktopWidgets::closedByPerson(const std::string& name) {
  closing_.push_back(name);
  closeLater_.start(std::chrono::milliseconds(0), [this] {
    for (const std::string& gone : std::exchange(closing_, {})) {
      close(gone);
      note_("the widget " + (gone.empty() ? std::string("window") : "'" + gone + "'")
            + " was closed");
    }
    if (windows_.empty() && empty_) {
      empty_();
    }
  });
}

}  // namespace velto::host
