#include "platform/widgets/runtime/extension_runner.hpp"

#include <cstdio>
#include <filesystem>
#include <string>

#include <signal.h>
#include <sysexits.h>
#include <unistd.h>

#include "platform/widgets/runtime/line_transport.hpp"
#include "platform/widgets/runtime/request_handler.hpp"
#include "platform/widgets/runtime/widget_bundle.hpp"

namespace platform::widgets {

int extensionMain(int argc, char** argv, ProgramMain programMain) {
  const std::string name = argc > 0 && argv[0] != nullptr
                               ? std::filesystem::path(argv[0]).filename().string()
                               : std::string("widget extension");
  if (::isatty(STDIN_FILENO) == 1) {
    std::fprintf(stderr, "%s: this program is started by the widget host (%s), not by hand\n",
                 name.c_str(), kWidgetHostName);
    return EX_USAGE;
  }
  ::signal(SIGPIPE, SIG_IGN);
  return programMain();
}

void serveWidgets(std::span<const WidgetConfiguration> configurations) {
  serveWidgets(configurations, stdin, stdout);
}

void serveWidgets(std::span<const WidgetConfiguration> configurations, std::FILE* in,
                  std::FILE* out) {
  LineReader reader(in);
  LineWriter writer(out);
  const RequestHandler handler(configurations);
  for (;;) {
    const auto message = reader.next();
    std::optional<std::string> reply;
    switch (message.status) {
      case LineReader::Status::end:
        return;
      case LineReader::Status::tooLong:
        reply = RequestHandler::lineTooLongReply();
        break;
      case LineReader::Status::line:
        reply = handler.handle(message.line);
        break;
    }
    if (reply && !writer.write(*reply)) {
      return;  // the host is gone
    }
  }
}

}  // namespace platform::widgets
