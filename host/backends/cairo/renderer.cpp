#include "host/backends/cairo/renderer.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <optional>
#include <variant>

#include <cairo-svg.h>
#include <pango/pangocairo.h>

#include "host/backends/cairo/rounded_rect.hpp"
#include "host/backends/cairo/symbols.hpp"
#include "host/layout/layout.hpp"
#include "host/render/metrics.hpp"
#include "host/render/palette.hpp"

namespace velto::host::cairo {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using render::Rgba;
namespace ui = platform::ui;

namespace {

void setSource(cairo_t* cr, const Rgba& color) {
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}

/// The colour of a gradient stop. A clear stop takes the colour of its nearest
/// coloured neighbour at no alpha, so a fade to clear does not pass through
/// grey as straight-alpha interpolation towards transparent black would.
Rgba stopColor(const std::vector<layout::GradientStop>& stops, std::size_t index,
               Appearance appearance) {
  Rgba color = render::resolve(stops[index].color, appearance);
  if (stops[index].color.name() != ui::SystemColor::clear) {
    return color;
  }
  for (std::size_t distance = 1; distance < stops.size(); ++distance) {
    for (const std::size_t neighbour : {index - distance, index + distance}) {
      // Unsigned wrap-around puts an index before 0 past the end.
      if (neighbour < stops.size() && stops[neighbour].color.name() != ui::SystemColor::clear) {
        Rgba borrowed = render::resolve(stops[neighbour].color, appearance);
        borrowed.alpha = 0;
        return borrowed;
      }
    }
  }
  return color;
}

void fillGradient(cairo_t* cr, const layout::FillRadialGradient& gradient, Appearance appearance) {
  if (gradient.stops.empty()) {
    return;
  }
  // A zero-width ring would leave Cairo nothing to interpolate over.
  const double end = std::max(gradient.endRadius, gradient.startRadius + 1e-3);
  const PatternPtr pattern(cairo_pattern_create_radial(gradient.center.x, gradient.center.y,
                                                       gradient.startRadius, gradient.center.x,
                                                       gradient.center.y, end));
  for (std::size_t i = 0; i < gradient.stops.size(); ++i) {
    const Rgba color = stopColor(gradient.stops, i, appearance);
    cairo_pattern_add_color_stop_rgba(pattern.get(),
                                      std::clamp(gradient.stops[i].location, 0.0, 1.0), color.red,
                                      color.green, color.blue, color.alpha);
  }
  cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
  cairo_set_source(cr, pattern.get());
  cairo_rectangle(cr, gradient.rect.x, gradient.rect.y, gradient.rect.width, gradient.rect.height);
  cairo_fill(cr);
}

/// How far, as a share of its line's height, a text may paint outside its box.
constexpr double kTextOverhang = 0.125;

bool validScale(double scale) {
  return std::isfinite(scale) && scale > 0 && scale <= render::kMaxScale;
}

DrawError cairoError(const char* what, cairo_status_t status) {
  return DrawError{std::string(what) + ": " + cairo_status_to_string(status)};
}

}  // namespace

Renderer::Renderer() : text_(std::make_unique<PangoTextMeasurer>()) {}
Renderer::~Renderer() = default;

Expected<void, DrawError> Renderer::draw(cairo_t* cr, const ui::View& tree,
                                         const DrawOptions& options) {
  if (!validScale(options.scale)) {
    return Unexpected(DrawError{"the scale must be a number above 0 and at most 16"});
  }
  text_->beginFrame();
  const auto list =
      layout::layoutWidget(tree, render::widgetCanvas(options.family, options.instant), *text_);
  if (!list) {
    return Unexpected(DrawError{"cannot lay out the widget: " + list.error().message});
  }
  cairo_save(cr);
  cairo_scale(cr, options.scale, options.scale);
  paint(cr, *list, options.appearance);
  cairo_restore(cr);
  if (const cairo_status_t status = cairo_status(cr); status != CAIRO_STATUS_SUCCESS) {
    return Unexpected(cairoError("cannot draw the widget", status));
  }
  return {};
}

void Renderer::paint(cairo_t* cr, const layout::DrawList& list, Appearance appearance) {
  using namespace layout;
  int clips = 0;
  for (const DrawCommand& command : list.commands) {
    switch (kindOf(command)) {
      case CommandKind::pushClip: {
        const auto& clip = std::get<PushClip>(command);
        cairo_save(cr);
        roundedRectPath(cr, clip.rect, clip.cornerRadius);
        cairo_clip(cr);
        ++clips;
        break;
      }
      case CommandKind::popClip:
        if (clips > 0) {
          cairo_restore(cr);
          --clips;
        }
        break;
      case CommandKind::fillRect: {
        const auto& fill = std::get<FillRect>(command);
        setSource(cr, render::resolve(fill.color, appearance));
        roundedRectPath(cr, fill.rect, fill.cornerRadius);
        cairo_fill(cr);
        break;
      }
      case CommandKind::fillCircle: {
        const auto& circle = std::get<FillCircle>(command);
        setSource(cr, render::resolve(circle.color, appearance));
        cairo_new_sub_path(cr);
        cairo_arc(cr, circle.center.x, circle.center.y, circle.radius, 0, 2 * std::numbers::pi);
        cairo_fill(cr);
        break;
      }
      case CommandKind::fillRadialGradient:
        fillGradient(cr, std::get<FillRadialGradient>(command), appearance);
        break;
      case CommandKind::drawText: {
        const auto& text = std::get<DrawText>(command);
        PangoLayout* line = text_->line(text.text, text.style);
        cairo_save(cr);
        // Glyphs may overhang their line box a little (a descender's tip); a
        // run of stacked marks may not go further.
        const double room = text.box.height * kTextOverhang;
        cairo_rectangle(cr, text.box.x - room, text.box.y - room, text.box.width + 2 * room,
                        text.box.height + 2 * room);
        cairo_clip(cr);
        cairo_translate(cr, text.box.x, text.box.y);
        cairo_scale(cr, text.scale, text.scale);
        cairo_move_to(cr, 0, 0);
        setSource(cr, render::resolve(text.color, appearance));
        pango_cairo_show_layout(cr, line);
        cairo_restore(cr);
        break;
      }
      case CommandKind::drawSymbol: {
        const auto& symbol = std::get<DrawSymbol>(command);
        setSource(cr, render::resolve(symbol.color, appearance));
        drawSymbol(cr, symbol.name, symbol.box, symbol.weight);
        break;
      }
      case CommandKind::linkRegion:
        break;  // for tap handling, not drawn
    }
  }
  for (; clips > 0; --clips) {
    cairo_restore(cr);
  }
}

Expected<SurfacePtr, DrawError> renderImage(const ui::View& tree, const DrawOptions& options) {
  if (!validScale(options.scale)) {
    return Unexpected(DrawError{"the scale must be a number above 0 and at most 16"});
  }
  const layout::Size size = render::widgetSize(options.family);
  SurfacePtr surface(cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(size.width * options.scale)),
      static_cast<int>(std::ceil(size.height * options.scale))));
  if (const cairo_status_t status = cairo_surface_status(surface.get());
      status != CAIRO_STATUS_SUCCESS) {
    return Unexpected(cairoError("cannot make the image", status));
  }
  const CairoPtr cr(cairo_create(surface.get()));
  Renderer renderer;
  if (auto drawn = renderer.draw(cr.get(), tree, options); !drawn) {
    return Unexpected(std::move(drawn).error());
  }
  cairo_surface_flush(surface.get());
  return surface;
}

namespace {

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

Expected<std::string, DrawError> encodeWidget(const ui::View& tree, const DrawOptions& options,
                                              ImageFormat format) {
  std::string bytes;
  if (format == ImageFormat::png) {
    auto image = renderImage(tree, options);
    if (!image) {
      return Unexpected(std::move(image).error());
    }
    if (const cairo_status_t status =
            cairo_surface_write_to_png_stream(image->get(), appendTo, &bytes);
        status != CAIRO_STATUS_SUCCESS) {
      return Unexpected(cairoError("cannot encode the PNG image", status));
    }
    return bytes;
  }

  // Vector output is in points, so the scale does not apply.
  const layout::Size size = render::widgetSize(options.family);
  SurfacePtr surface(
      cairo_svg_surface_create_for_stream(appendTo, &bytes, size.width, size.height));
  if (const cairo_status_t status = cairo_surface_status(surface.get());
      status != CAIRO_STATUS_SUCCESS) {
    return Unexpected(cairoError("cannot make the SVG image", status));
  }
  DrawOptions points = options;
  points.scale = 1;
  {
    const CairoPtr cr(cairo_create(surface.get()));
    Renderer renderer;
    if (auto drawn = renderer.draw(cr.get(), tree, points); !drawn) {
      return Unexpected(std::move(drawn).error());
    }
  }
  cairo_surface_finish(surface.get());
  if (const cairo_status_t status = cairo_surface_status(surface.get());
      status != CAIRO_STATUS_SUCCESS) {
    return Unexpected(cairoError("cannot encode the SVG image", status));
  }
  return bytes;
}

}  // namespace velto::host::cairo
