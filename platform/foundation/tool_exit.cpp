#include "platform/foundation/tool_exit.hpp"

#include <unistd.h>

#include "platform/foundation/write_all.hpp"

namespace platform::foundation {

int reportToolFailure(std::string_view program, const ToolFailure& failure) {
  std::string line = std::string(program) + ": " + failure.message;
  for (char& c : line) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  line += '\n';
  (void)writeAll(STDERR_FILENO, line);
  return failure.status;
}

}  // namespace platform::foundation
