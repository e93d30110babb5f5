#pragma once

#include <filesystem>
#include <string>

#include "host/placements/placement.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host::placements {

/// Sets the group `[widget NAME]` of the settings file `file` to `placement`
/// (NAME is its name), adding the group when it is new and keeping every other
/// group and every comment; creates the file and its folder when missing. The
/// file is replaced atomically, through a symbolic link to its target. A file
/// that does not parse is left untouched: the error says why, in one line.
platform::foundation::Expected<void, std::string> writePlacement(const std::filesystem::path& file,
                                                                 const Placement& placement);

}  // namespace velto::host::placements
