#pragma once

#include <optional>
#include <string_view>

namespace velto::host {

/// Whether the desktop prefers dark: from `GTK_THEME` (a ":dark" variant) or the
/// desktop's `color-scheme` setting; nothing when neither says.
std::optional<bool> desktopPrefersDark();

/// The preference that a `GTK_THEME` value states, if any ("Adwaita:dark").
std::optional<bool> themePrefersDark(std::string_view gtkTheme);

}  // namespace velto::host
