#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/expected.hpp"

namespace velto::host {

/// The extension's file name; people never run it by hand.
inline constexpr const char* kExtensionProgram = "velto-widget-extension";

/// The places a program of ours that people do not run by hand may be for a host
/// at `program`: beside it (the build tree), then `../libexec/velto/` (installed).
std::vector<std::filesystem::path> helperCandidates(const std::filesystem::path& program,
                                                    std::string_view name);

/// Whether `path` is a regular file this process may execute.
bool isExecutableFile(const std::filesystem::path& path);

/// Whether a path names a file this process may execute.
using IsExecutable = std::function<bool(const std::filesystem::path&)>;

/// The first of helperCandidates that is executable, or the words "neither A
/// nor B is an executable file".
platform::foundation::Expected<std::filesystem::path, std::string> locateHelper(
    const std::filesystem::path& program, std::string_view name, const IsExecutable& isExecutable);

/// The places the extension may be for a host at `program`, in the order they are
/// tried: beside the host (the build tree), then `../libexec/velto/` (installed).
std::vector<std::filesystem::path> extensionCandidates(const std::filesystem::path& program);

/// The first candidate for `program` that is executable, or one line naming every
/// place looked at.
platform::foundation::Expected<std::filesystem::path, std::string> locateExtension(
    const std::filesystem::path& program, const IsExecutable& isExecutable);

/// `override` when given, else the extension found for the running program.
platform::foundation::Expected<std::filesystem::path, std::string> locateExtension(
    const std::optional<std::filesystem::path>& override);

/// The extension found for the running program, or `override` when given; when
/// nothing is found, the installed place, so that the failure to start names it.
std::filesystem::path extensionPath(const std::optional<std::filesystem::path>& override);

/// The running program's own path, from /proc/self/exe.
std::optional<std::filesystem::path> runningProgram();

}  // namespace velto::host
