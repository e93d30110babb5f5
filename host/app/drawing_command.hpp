#pragma once

// The commands that draw with Cairo or GTK. `velto-widget-host` links neither, so
// that `terminal` and `bar` map only what they use: it hands these commands, with
// its whole command line, to the program beside the extension that links the
// libraries. Each program links one definition of `runDrawingCommand`.

namespace velto::host {

class GalleryCommand;
class ListCommand;
struct DesktopArguments;
struct RenderArguments;

enum class DrawingCommand { desktop, render, gallery, list };

/// The command line as given and as parsed.
struct DrawingCommandLine {
  int argc;
  char** argv;
  const DesktopArguments& desktop;
  const RenderArguments& render;
  const GalleryCommand& gallery;
  const ListCommand& list;
};

/// Runs `command` or hands it on; returns the exit status.
int runDrawingCommand(DrawingCommand command, const DrawingCommandLine& line);

/// The program that runs `command`, found as the extension is: beside this
/// program in the build tree, in libexec/velto/ when installed.
const char* drawingProgram(DrawingCommand command);

}  // namespace velto::host
