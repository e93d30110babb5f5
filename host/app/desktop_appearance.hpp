#pragma once

#include <optional>
#include <string_view>

namespace velto::host {

/// Whether the desktop prefers dark: from `GTK_THEME` (a ":dark" variant) or the
/// desktop's `color-scheme` setting; nothing when neither says.
std::optional<bool> desktopPrefersDark();

/// desktopPrefersDark(), asked in a short-lived child process so that the
/// settings machinery it loads (a few MiB of GIO) never stays in the memory of
/// a program that runs for days. A process that already runs other threads
/// asks itself, for a fork would copy locks those threads may hold.
std::optional<bool> desktopPrefersDarkApart();

/// The preference that a `GTK_THEME` value states, if any ("Adwaita:dark").
std::optional<bool> themePrefersDark(std::string_view gtkTheme);

}  // namespace velto::host
