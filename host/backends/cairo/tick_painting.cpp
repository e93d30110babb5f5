#include "host/backends/cairo/tick_painting.hpp"

#include <cmath>
#include <variant>

namespace velto::host::cairo {
namespace {

using layout::DrawList;
using layout::DrawText;
using layout::Rect;

bool overlaps(const Rect& a, const Rect& b) {
  return a.x < b.maxX() && b.x < a.maxX() && a.y < b.maxY() && b.y < a.maxY();
}

bool isLiveText(const layout::DrawCommand& command) {
  const auto* text = std::get_if<DrawText>(&command);
  return text != nullptr && text->live;
}

/// The widget without its live texts: all that a tick leaves as it is.
DrawList withoutLiveTexts(const DrawList& list) {
  DrawList out{list.size, {}};
  for (const auto& command : list.commands) {
    if (!isLiveText(command)) {
      out.commands.push_back(command);
    }
  }
  return out;
}

/// The live texts whose glyphs may reach into `area`, inside the clips they
/// are painted in. A glyph may overhang its line box; a line's height is more
/// room than any does.
DrawList liveTextsReaching(const DrawList& list, const Rect& area) {
  DrawList out{list.size, {}};
  for (const auto& command : list.commands) {
    if (const auto* text = std::get_if<DrawText>(&command); text != nullptr && text->live) {
      const double room = text->box.height;
      const Rect reach{text->box.x - room, text->box.y - room, text->box.width + 2 * room,
                       text->box.height + 2 * room};
      if (overlaps(reach, area)) {
        out.commands.push_back(command);
      }
    } else if (std::holds_alternative<layout::PushClip>(command)
               || std::holds_alternative<layout::PopClip>(command)) {
      out.commands.push_back(command);
    }
  }
  return out;
}

}  // namespace

cairo_surface_t* TickPainting::picture(Renderer& renderer, const DrawList& list, Appearance look,
                                       double scale) {
  if (picture_ && picture_->look == look && picture_->scale == scale) {
    return picture_->surface.get();
  }
  picture_.reset();
  SurfacePtr surface(cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(list.size.width * scale)),
      static_cast<int>(std::ceil(list.size.height * scale))));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    return nullptr;
  }
  {
    // Scaled as the window's drawing is, not by a device scale: Cairo flattens
    // curves by the user space's scale, and the picture's must be the same.
    const CairoPtr cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), scale, scale);
    renderer.paint(cr.get(), withoutLiveTexts(list), look);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
      return nullptr;
    }
  }
  cairo_surface_flush(surface.get());
  picture_ = Picture{std::move(surface), look, scale};
  return picture_->surface.get();
}

void TickPainting::paint(cairo_t* cr, Renderer& renderer, const DrawList& list, Appearance look,
                         double scale) {
  double x0 = 0;
  double y0 = 0;
  double x1 = 0;
  double y1 = 0;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  const Rect area{x0, y0, x1 - x0, y1 - y0};

  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (cairo_surface_t* backdrop = picture(renderer, list, look, scale)) {
    cairo_scale(cr, 1 / scale, 1 / scale);
    cairo_set_source_surface(cr, backdrop, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    renderer.paint(cr, liveTextsReaching(list, area), look);
    return;
  }
  // No picture (no memory for it): the whole widget, as a full paint does.
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
  renderer.paint(cr, list, look);
}

}  // namespace velto::host::cairo
