#pragma once

#include <filesystem>
#include <optional>

namespace velto::host::placements {

/// `${XDG_CONFIG_HOME:-$HOME/.config}`, from the two variables' values (null when
/// unset). A relative or empty XDG_CONFIG_HOME is ignored, as the XDG rules say;
/// nothing when neither gives an absolute folder.
std::optional<std::filesystem::path> configHome(const char* xdgConfigHome, const char* home);

}  // namespace velto::host::placements
