#pragma once

namespace platform::widgets {

/// The name of the program that starts and drives widget extensions.
inline constexpr const char* kWidgetHostName = "velto-widget-host";

/// The program's own entry function, entered once the runner has connected.
using ProgramMain = int (*)();

/// The extension runner: the process starts here, not in the program's `main`.
/// Started from a terminal rather than by a host, it says so in one line on
/// stderr and returns 64 without entering the program. Otherwise it connects to
/// the host over stdin and stdout (a vanished host ends writes with an error,
/// never with SIGPIPE), enters `programMain` and returns what that returns.
int extensionMain(int argc, char** argv, ProgramMain programMain);

}  // namespace platform::widgets
