#pragma once

// Draws a widget's view tree with Cairo: lays it out with the layout stage and
// paints the resulting commands, into PNG (an image surface, `scale` pixels a
// point), SVG (points, whatever the scale) or a caller's Cairo context.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <cairo.h>

#include "host/backends/cairo/handles.hpp"
#include "host/backends/cairo/pango_text.hpp"
#include "host/layout/draw_command.hpp"
#include "host/layout/geometry.hpp"
#include "host/render/appearance.hpp"
#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::cairo {

using render::Appearance;

enum class ImageFormat : std::uint8_t { png, svg };

struct DrawOptions {
  platform::widgets::WidgetFamily family = platform::widgets::WidgetFamily::systemSmall;
  /// Pixels per point of an image.
  double scale = 2.0;
  Appearance appearance = Appearance::light;
  /// The instant the widget is drawn for: timer texts count up to it.
  platform::foundation::Date instant;
};

struct DrawError {
  std::string message;  // one line, for a person
};

/// Draws widgets with one text engine, whose fonts and shaped lines it keeps
/// from one drawing to the next. Not thread-safe: one per thread.
class Renderer {
 public:
  Renderer();
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  /// Lays out `tree` for `options` and paints it into `cr` with the widget's
  /// top-left corner at the user-space origin and `options.scale` user units a
  /// point. Fails, drawing nothing, when the tree cannot be laid out, and when
  /// Cairo reports an error on `cr`.
  platform::foundation::Expected<void, DrawError> draw(cairo_t* cr, const platform::ui::View& tree,
                                                       const DrawOptions& options);

  /// Paints laid-out commands into `cr`, whose user space is in points.
  void paint(cairo_t* cr, const layout::DrawList& list, Appearance appearance);

  /// The measurer that layouts for paint() should use, so that their lines
  /// are shaped once.
  const PangoTextMeasurer& measurer() const { return *text_; }
  PangoTextMeasurer& measurer() { return *text_; }

 private:
  std::unique_ptr<PangoTextMeasurer> text_;
};

/// The widget as an ARGB32 image of its size × scale pixels (rounded up),
/// transparent outside its rounded corners.
platform::foundation::Expected<SurfacePtr, DrawError> renderImage(const platform::ui::View& tree,
                                                                  const DrawOptions& options);

/// The widget as the bytes of a PNG or SVG file.
platform::foundation::Expected<std::string, DrawError> encodeWidget(const platform::ui::View& tree,
                                                                    const DrawOptions& options,
                                                                    ImageFormat format);

}  // namespace velto::host::cairo
