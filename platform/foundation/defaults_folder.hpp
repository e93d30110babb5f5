#pragma once

#include <string_view>

#include "platform/foundation/user_defaults.hpp"

namespace platform::foundation {

// Every program finds the defaults folder with defaultsDirectory() alone: the
// tools that write it, the extension that reads it and the host that watches
// it must never disagree. An absolute XDG_CONFIG_HOME wins (a relative one is
// ignored, as the XDG base directory rules say); else an absolute HOME, else
// the password database's home when absolute, each with /.config; else there
// is no folder.

/// Why defaultsDirectory() is empty, in the one line every program prints.
inline constexpr std::string_view kNoDefaultsFolder =
    "no defaults folder: neither XDG_CONFIG_HOME nor HOME is an absolute path, and the user has "
    "no home folder";

}  // namespace platform::foundation
