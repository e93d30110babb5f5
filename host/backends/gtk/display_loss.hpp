#pragma once

// What happens when the connection to the display breaks under the widget.
// GDK's own answer on X11 is exit(1) from inside Xlib, which says nothing a
// person can use and leaves the extension to notice on its own.

#include <functional>

#include <gdk/gdk.h>

struct _XDisplay;

namespace velto::host::gtk {

/// While alive, a broken X11 connection of `display` calls `lost`, in place of
/// GDK's exit(1). `lost` must not return: Xlib cannot go on, so it ends the
/// program (with _exit, as nothing of GDK may run any more). Does nothing on
/// other displays.
class DisplayLossWatch {
 public:
  DisplayLossWatch(GdkDisplay* display, std::function<void()> lost);
  DisplayLossWatch(const DisplayLossWatch&) = delete;
  DisplayLossWatch& operator=(const DisplayLossWatch&) = delete;
  ~DisplayLossWatch();

 private:
  using IoErrorHandler = int (*)(_XDisplay*);

  GdkDisplay* display_;
  std::function<void()> lost_;
  bool watching_ = false;
  IoErrorHandler previous_ = nullptr;
};

}  // namespace velto::host::gtk
