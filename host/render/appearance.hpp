#pragma once

#include <cstdint>

namespace velto::host::render {

/// Whether the widget follows the desktop's light or dark look.
enum class Appearance : std::uint8_t { light, dark };

}  // namespace velto::host::render
