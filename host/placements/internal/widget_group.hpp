#pragma once

// The one spelling of a placement's group: `[widget NAME]`.

#include <optional>
#include <string>
#include <string_view>

namespace velto::host::placements::internal {

/// The NAME of a `widget NAME` group, without the spaces around it (possibly
/// empty); nothing for any other group.
std::optional<std::string_view> widgetGroupName(std::string_view group);

/// The group of the placement named `name`.
std::string widgetGroup(std::string_view name);

}  // namespace velto::host::placements::internal
