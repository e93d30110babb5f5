#pragma once

#include <string>
#include <string_view>

namespace platform::foundation {

/// Why a command-line tool stops: the one line it prints and its sysexits status.
struct ToolFailure {
  int status;
  std::string message;
};

/// Prints "program: message" as one line on stderr (line breaks in the message
/// become spaces) and returns the failure's status for main to exit with.
int reportToolFailure(std::string_view program, const ToolFailure& failure);

}  // namespace platform::foundation
