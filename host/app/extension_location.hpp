#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/expected.hpp"

namespace velto::host {

/// The extension's file name; people never run it by hand.
inline constexpr const char* kExtensionProgram = "velto-widget-extension";

/// The places the extension may be for a host at `program`, in the order they are
/// tried: beside the host (the build tree), then `../libexec/velto/` (installed).
std::vector<std::filesystem::path> extensionCandidates(const std::filesystem::path& program);

/// Whether a path names a file this process may execute.
using IsExecutable = std::function<bool(const std::filesystem::path&)>;

/// The first candidate for `program` that is executable, or one line naming every
/// place looked at.
platform::foundation::Expected<std::filesystem::path, std::string> locateExtension(
    const std::filesystem::path& program, const IsExecutable& isExecutable);

/// `override` when given, else the extension found for the running program.
platform::foundation::Expected<std::filesystem::path, std::string> locateExtension(
    const std::optional<std::filesystem::path>& override);

/// The running program's own path, from /proc/self/exe.
std::optional<std::filesystem::path> runningProgram();

}  // namespace velto::host
