#pragma once

// The desktop's light or dark preference, from the Settings portal's
// `org.freedesktop.appearance` `color-scheme` value or, failing that, from GTK's
// own settings.

#include <optional>
#include <string_view>

#include <glib.h>

#include "host/render/appearance.hpp"

namespace velto::host::gtk {

/// The appearance a `color-scheme` value asks for: 1 dark, 2 light; 0 (no
/// preference), other numbers and other types ask for none. The value may come
/// wrapped in variants, as the portal's Read and its change signal deliver it.
std::optional<render::Appearance> appearanceFromColorScheme(GVariant* value);

/// GTK's fallback: dark when the application prefers a dark theme or the
/// theme's name says dark ("Adwaita-dark", "Breeze:dark"), else light.
render::Appearance appearanceFromGtkSettings(bool preferDarkTheme, std::string_view themeName);

}  // namespace velto::host::gtk
