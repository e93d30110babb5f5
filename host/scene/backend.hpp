#pragma once

// The seam between the live host's core (extension, scheduler, reloads) and the
// things that show a widget: a terminal, a desktop window, a status bar. The core
// decides what is on display and when it changes; a backend only draws it.

#include <functional>
#include <string_view>

#include "host/scene/scene.hpp"
#include "platform/foundation/date.hpp"

namespace velto::host::live {

/// Opens a URL that a `Link` of the scene on display carries; the core refuses
/// any other URL and reports failures through Backend::status.
using OpenLink = std::function<void(std::string_view url)>;

/// What the core asks of a backend. Every call comes on the core's GLib main
/// context; none may block.
class Backend {
 public:
  virtual ~Backend() = default;

  /// A new tree is on display: lay it out anew and draw it as of `instant`.
  /// Only `scene.links` may be offered as buttons.
  virtual void show(const Scene& scene, platform::foundation::Date instant) = 0;

  /// Only the live timer texts advanced, to `instant`: redraw just their boxes.
  virtual void tick(platform::foundation::Date instant) = 0;

  /// A transient line for a person (a link that could not open); empty clears it.
  virtual void status(std::string_view message) = 0;
};

}  // namespace velto::host::live
