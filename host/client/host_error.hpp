#pragma once

#include <string>

namespace velto::host {

/// Why the host could not get what it asked the extension for: one line for a person.
struct HostError {
  std::string message;
};

}  // namespace velto::host
