#include "host/app/extension_location.hpp"

#include <array>

#include <unistd.h>

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

std::vector<std::filesystem::path> extensionCandidates(const std::filesystem::path& program) {
  const std::filesystem::path folder = program.parent_path();
  return {
      folder / kExtensionProgram,
      (folder / ".." / "libexec" / "velto" / kExtensionProgram).lexically_normal(),
  };
}

Expected<std::filesystem::path, std::string> locateExtension(const std::filesystem::path& program,
                                                             const IsExecutable& isExecutable) {
  const auto candidates = extensionCandidates(program);
  std::string tried;
  for (const auto& candidate : candidates) {
    if (isExecutable(candidate)) {
      return candidate;
    }
    tried += (tried.empty() ? "" : " nor ") + candidate.string();
  }
  return Unexpected("cannot find the widget extension: neither " + tried
                    + " is an executable file (reinstall, or pass --extension)");
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
  return locateExtension(*program, [](const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
  });
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
