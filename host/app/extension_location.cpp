#include "host/app/extension_location.hpp"

#include <array>

#include <unistd.h>

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

std::vector<std::filesystem::path> helperCandidates(const std::filesystem::path& program,
                                                    std::string_view name) {
  const std::filesystem::path folder = program.parent_path();
  return {
      folder / name,
      (folder / ".." / "libexec" / "velto" / name).lexically_normal(),
  };
}

bool isExecutableFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::filesystem::path> extensionCandidates(const std::filesystem::path& program) {
  return helperCandidates(program, kExtensionProgram);
}

Expected<std::filesystem::path, std::string> locateHelper(const std::filesystem::path& program,
                                                          std::string_view name,
                                                          const IsExecutable& isExecutable) {
  std::string tried;
  for (const auto& candidate : helperCandidates(program, name)) {
    if (isExecutable(candidate)) {
      return candidate;
    }
    tried += (tried.empty() ? "" : " nor ") + candidate.string();
  }
  return Unexpected("neither " + tried + " is an executable file");
}

Expected<std::filesystem::path, std::string> locateExtension(const std::filesystem::path& program,
                                                             const IsExecutable& isExecutable) {
  auto found = locateHelper(program, kExtensionProgram, isExecutable);
  if (!found) {
    return Unexpected("cannot find the widget extension: " + found.error()
                      + " (reinstall, or pass --extension)");
  }
  return found;
}

Expected<std::filesystem::path, std::string> locateExtension(
    const std::optional<std::filesystem::path>& override) {
  if (override) {
    return *override;
  }
  const auto program = runningProgram();
  if (!program) {
    return Unexpected(
        std::string("cannot find the widget extension: /proc/self/exe is unreadable "
                    "(pass --extension)"));
  }
  return locateExtension(*program, isExecutableFile);
}

std::filesystem::path extensionPath(const std::optional<std::filesystem::path>& override) {
  const auto found = locateExtension(override);
  if (found) {
    return *found;
  }
  const auto program = runningProgram();
  return program ? extensionCandidates(*program).back() : std::filesystem::path(kExtensionProgram);
}

std::optional<std::filesystem::path> runningProgram() {
  std::array<char, 4096> self{};
  const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  if (length <= 0) {
    return std::nullopt;
  }
  return std::filesystem::path(std::string(self.data(), static_cast<std::size_t>(length)));
}

}  // namespace velto::host
