#include "host/backends/terminal/terminal_capabilities.hpp"

#include <array>
#include <cstdlib>
#include <string_view>

namespace velto::host::terminal {

namespace {

std::string_view lookup(const EnvironmentMap& environment, std::string_view name) {
  const auto found = environment.find(name);
  return found == environment.end() ? std::string_view() : std::string_view(found->second);
}

}  // namespace

Capabilities detectCapabilities(const EnvironmentMap& environment) {
  const std::string_view term = lookup(environment, "TERM");
  const std::string_view colorTerm = lookup(environment, "COLORTERM");
  Capabilities capabilities;
  if (term == "dumb") {
    return {ColorMode::none, false, false, false};
  }
  if (term == "linux") {
    capabilities.hyperlinks = false;
  }
  if (colorTerm == "truecolor" || colorTerm == "24bit" || term.ends_with("-direct")) {
    capabilities.colors = ColorMode::trueColor;
  }
  if (!lookup(environment, "NO_COLOR").empty()) {
    capabilities.colors = ColorMode::none;
  }
  return capabilities;
}

EnvironmentMap terminalEnvironment() {
  EnvironmentMap environment;
  for (const char* name : std::array{"TERM", "COLORTERM", "NO_COLOR"}) {
    if (const char* value = std::getenv(name)) {
      environment.emplace(name, value);
    }
  }
  return environment;
}

}  // namespace velto::host::terminal
