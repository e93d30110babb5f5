#include "host/app/drawing_command.hpp"

namespace velto::host {

const char* drawingProgram(DrawingCommand command) {
  return command == DrawingCommand::desktop ? "velto-widget-desktop" : "velto-widget-render";
}

}  // namespace velto::host
