#pragma once

#include <nlohmann/json.hpp>

#include "platform/ui/view.hpp"

namespace platform::ui::internal {

/// The JSON node of `view` and everything below it, numbers clamped into their
/// ranges and strings made UTF-8.
nlohmann::json writeView(const View& view);

}  // namespace platform::ui::internal
