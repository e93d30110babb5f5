#pragma once

// Paints a laid-out widget into a window one box at a time. The widget without
// its live timer texts is kept as a picture, so that repainting the box of a
// timer text that ticked is one copy of that picture and the new text, not the
// whole widget again.

#include <optional>

#include <cairo.h>

#include "host/backends/cairo/handles.hpp"
#include "host/backends/cairo/renderer.hpp"
#include "host/layout/draw_command.hpp"
#include "host/render/appearance.hpp"

namespace velto::host::cairo {

class TickPainting {
 public:
  /// Paints what `list` shows inside `cr`'s clip, replacing what was there
  /// (pixels outside the widget become see-through). `cr`'s user space is in
  /// points at `scale` device pixels a point, with the widget's top-left corner
  /// on a device pixel. The picture is kept for the next call with the same
  /// look and scale, so `list` may differ from the last one only in its live
  /// texts until forget().
  void paint(cairo_t* cr, Renderer& renderer, const layout::DrawList& list, Appearance look,
             double scale);

  /// Drops the picture: the list was laid out anew.
  void forget() { picture_.reset(); }

 private:
  struct Picture {
    SurfacePtr surface;
    Appearance look;
    double scale;
  };

  /// The kept picture for `look` and `scale`, made if need be; null when Cairo
  /// cannot make it.
  cairo_surface_t* picture(Renderer& renderer, const layout::DrawList& list, Appearance look,
                           double scale);

  std::optional<Picture> picture_;
};

}  // namespace velto::host::cairo
