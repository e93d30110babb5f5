#pragma once

// Whether there is a desktop to show the widget on, asked without a display
// library: the sockets a Wayland compositor or an X server listens on.

namespace velto::host {

/// Whether the Wayland socket WAYLAND_DISPLAY names accepts a connection.
bool waylandAnswers();

/// Whether the X server DISPLAY names accepts a connection (a remote display is
/// taken on trust).
bool x11Answers();

/// Whether a display server answers at WAYLAND_DISPLAY or DISPLAY.
bool displayAvailable();

}  // namespace velto::host
