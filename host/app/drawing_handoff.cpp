// velto-widget-host's side of the drawing commands: it execs the program that
// links Cairo (and GTK), with the same command line, as the same process, so
// that a service manager or a bar still sees one process it started.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <sysexits.h>
#include <unistd.h>

#include "host/app/drawing_command.hpp"
#include "host/app/extension_location.hpp"

namespace velto::host {

int runDrawingCommand(DrawingCommand command, const DrawingCommandLine& line) {
  const char* name = drawingProgram(command);
  const auto self = runningProgram();
  if (!self) {
    std::fprintf(stderr, "velto-widget-host: cannot find %s: /proc/self/exe is unreadable\n", name);
    return EX_OSERR;
  }
  const auto program = locateHelper(*self, name, isExecutableFile);
  if (!program) {
    std::fprintf(stderr, "velto-widget-host: cannot find %s: %s (reinstall)\n", name,
                 program.error().c_str());
    return EX_UNAVAILABLE;
  }
  std::string path = program->string();
  line.argv[0] = path.data();
  ::execv(path.c_str(), line.argv);
  std::fprintf(stderr, "velto-widget-host: cannot run '%s': %s\n", path.c_str(),
               std::strerror(errno));
  return EX_UNAVAILABLE;
}

}  // namespace velto::host
