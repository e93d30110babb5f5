#pragma once

// Owning handles for Cairo and Pango objects: each releases its object
// with the library's own function.

#include <memory>

#include <cairo.h>
#include <pango/pangocairo.h>

namespace velto::host::cairo {

template <auto Release>
struct Releaser {
  template <class T>
  void operator()(T* object) const {
    Release(object);
  }
};

using SurfacePtr = std::unique_ptr<cairo_surface_t, Releaser<cairo_surface_destroy>>;
using CairoPtr = std::unique_ptr<cairo_t, Releaser<cairo_destroy>>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, Releaser<cairo_pattern_destroy>>;
using FontOptionsPtr = std::unique_ptr<cairo_font_options_t, Releaser<cairo_font_options_destroy>>;
using FontDescriptionPtr =
    std::unique_ptr<PangoFontDescription, Releaser<pango_font_description_free>>;
using AttrListPtr = std::unique_ptr<PangoAttrList, Releaser<pango_attr_list_unref>>;

}  // namespace velto::host::cairo
