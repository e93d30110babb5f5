#include "host/backends/gtk/display_loss.hpp"

#include <cstdlib>

#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#endif

namespace velto::host::gtk {

#ifdef GDK_WINDOWING_X11
namespace {

/// Says nothing: the exit handler, which knows the watch, says what matters.
int quietly(Display*) {
  return 0;
}

void displayLost(Display*, void* watch) {
  (*static_cast<std::function<void()>*>(watch))();
  // Xlib's own default, should `lost` return after all.
  std::_Exit(1);
}

}  // namespace
#endif

DisplayLossWatch::DisplayLossWatch(GdkDisplay* display, std::function<void()> lost)
    : display_(display), lost_(std::move(lost)) {
#ifdef GDK_WINDOWING_X11
  if (display_ != nullptr && GDK_IS_X11_DISPLAY(display_)) {
    // Xlib calls the error handler, then the display's exit handler.
    previous_ = XSetIOErrorHandler(quietly);
    XSetIOErrorExitHandler(gdk_x11_display_get_xdisplay(display_), displayLost, &lost_);
    watching_ = true;
  }
#endif
}

DisplayLossWatch::~DisplayLossWatch() {
#ifdef GDK_WINDOWING_X11
  if (watching_) {
    XSetIOErrorExitHandler(gdk_x11_display_get_xdisplay(display_), nullptr, nullptr);
    XSetIOErrorHandler(previous_);
  }
#endif
}

}  // namespace velto::host::gtk
