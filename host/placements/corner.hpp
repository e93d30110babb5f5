#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velto::host::placements {

/// The corner of a monitor's work area that a widget is anchored to.
enum class Corner : std::uint8_t { topRight, topLeft, bottomRight, bottomLeft };

/// "top-right", "top-left", "bottom-right" or "bottom-left"; nothing otherwise.
std::optional<Corner> parseCorner(std::string_view text);

/// The name parseCorner reads back as `corner`.
std::string_view cornerName(Corner corner);

}  // namespace velto::host::placements
