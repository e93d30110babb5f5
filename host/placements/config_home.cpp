#include "host/placements/config_home.hpp"

namespace velto::host::placements {

namespace {

bool isAbsolute(const char* folder) {
  return folder != nullptr && folder[0] == '/';
}

}  // namespace

std::optional<std::filesystem::path> configHome(const char* xdgConfigHome, const char* home) {
  if (isAbsolute(xdgConfigHome)) {
    return std::filesystem::path(xdgConfigHome);
  }
  if (isAbsolute(home)) {
    return std::filesystem::path(home) / ".config";
  }
  return std::nullopt;
}

}  // namespace velto::host::placements
