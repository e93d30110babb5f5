#include "host/backends/gtk/color_scheme.hpp"

#include <algorithm>
#include <cctype>
#include <string>

namespace velto::host::gtk {

std::optional<render::Appearance> appearanceFromColorScheme(GVariant* value) {
  // Unwraps at most a few levels: Read gives v-in-v, ReadOne and the signal give v.
  GVariant* held = value != nullptr ? g_variant_ref(value) : nullptr;
  for (int depth = 0;
       held != nullptr && depth < 4 && g_variant_is_of_type(held, G_VARIANT_TYPE_VARIANT);
       ++depth) {
    GVariant* inner = g_variant_get_variant(held);
    g_variant_unref(held);
    held = inner;
  }
  std::optional<render::Appearance> appearance;
  if (held != nullptr && g_variant_is_of_type(held, G_VARIANT_TYPE_UINT32)) {
    switch (g_variant_get_uint32(held)) {
      case 1:
        appearance = render::Appearance::dark;
        break;
      case 2:
        appearance = render::Appearance::light;
        break;
      default:
        break;
    }
  }
  if (held != nullptr) {
    g_variant_unref(held);
  }
  return appearance;
}

render::Appearance appearanceFromGtkSettings(bool preferDarkTheme, std::string_view themeName) {
  std::string lower(themeName);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool darkName = lower.ends_with("-dark") || lower.ends_with(":dark")
                        || lower.ends_with("_dark") || lower.ends_with(" dark");
  return preferDarkTheme || darkName ? render::Appearance::dark : render::Appearance::light;
}

}  // namespace velto::host::gtk
