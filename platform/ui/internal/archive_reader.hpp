#pragma once

#include <nlohmann/json.hpp>

#include "platform/foundation/expected.hpp"
#include "platform/ui/archive.hpp"

namespace platform::ui::internal {

/// The tree of an archive document, or its first fault with the path to it.
foundation::Expected<View, ArchiveError> readDocument(const nlohmann::json& archive);

}  // namespace platform::ui::internal
