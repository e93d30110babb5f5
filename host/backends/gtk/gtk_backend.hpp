#pragma once

// The widget on the desktop: one GTK 3 window that draws the scene on display
// with Cairo, redraws only the readout's box on a tick, and opens a button's
// link on a click. It lives on the GTK main context, which is the default one.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/backends/gtk/window_geometry.hpp"
#include "host/live/backend.hpp"
#include "host/render/appearance.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::gtk {

struct DesktopOptions {
  platform::widgets::WidgetFamily family = platform::widgets::WidgetFamily::systemSmall;
  Corner corner = Corner::topRight;
  /// Logical pixels between the widget and the work area's edges.
  int margin = 24;
  /// The monitor to show on (its model or output name); the primary by default.
  std::optional<std::string> output;
  /// A fixed appearance; by default the desktop's, followed live.
  std::optional<render::Appearance> appearance;
  /// Where a dragged window's position is kept (X11); none: not kept.
  std::optional<std::filesystem::path> positionFile;
  /// Log each redraw's area and each shown button's box, as "WxH+X+Y" in
  /// window pixels (for tests and measurements).
  bool logRedraws = false;
};

/// Writes one line to the log.
using Log = std::function<void(std::string_view line)>;

class GtkBackend final : public live::Backend {
 public:
  /// Makes the window (not shown until the first scene). GTK must be initialised.
  /// `closed` is called when the window is gone for good (closed by the user
  /// or the window manager).
  GtkBackend(DesktopOptions options, Log log, std::function<void()> closed);
  ~GtkBackend() override;
  GtkBackend(const GtkBackend&) = delete;
  GtkBackend& operator=(const GtkBackend&) = delete;

  /// The live host's way to open links; a click calls it with the link's URL.
  void setOpenLink(live::OpenLink open);

  void show(const live::Scene& scene, platform::foundation::Date instant) override;
  void tick(platform::foundation::Date instant) override;
  void status(std::string_view message) override;

  /// What kind of surface the window is, for the log.
  std::string_view surfaceName() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velto::host::gtk
