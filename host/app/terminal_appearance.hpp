#pragma once

#include <optional>

#include "host/render/appearance.hpp"

namespace velto::host {

/// The appearance of the widget in a terminal: the one asked for, else the
/// desktop's preference, else the one the terminal's background suggests, else
/// dark, as most terminals are.
render::Appearance terminalAppearance(std::optional<render::Appearance> asked,
                                      std::optional<bool> desktopPrefersDark,
                                      std::optional<render::Appearance> terminalBackground);

}  // namespace velto::host
