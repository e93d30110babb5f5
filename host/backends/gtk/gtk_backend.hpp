#pragma once

// The widget on the desktop: one GTK 3 window that draws the scene on display
// with Cairo, redraws only the readout's box on a tick, and opens a button's
// link on a click. It lives on the GTK main context, which is the default one.

#include <functional>
#include <memory>
#include <string_view>

#include "host/backends/gtk/desktop_options.hpp"
#include "host/scene/backend.hpp"

namespace velto::host::gtk {

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
