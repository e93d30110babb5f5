#include "host/app/list_command.hpp"

#include <cstdio>

#include <CLI/CLI.hpp>
#include <sysexits.h>

#include "host/app/extension_location.hpp"
#include "host/app/gallery.hpp"

namespace velto::host {

ListCommand::ListCommand(CLI::App& program) {
  command_ = program.add_subcommand(
      "list", "Print the widgets the extension declares: kind, name, description, sizes");
  command_->add_flag("--json", json_, "Print them as one JSON array");
  command_->add_option("--extension", extension_,
                       "The widget extension to ask (default: the one beside this program, else "
                       "in ../libexec/velto)");
}

bool ListCommand::chosen() const {
  return command_->parsed();
}

int ListCommand::run() const {
  const auto extension = locateExtension(
      extension_ ? std::optional<std::filesystem::path>(*extension_) : std::nullopt);
  if (!extension) {
    std::fprintf(stderr, "velto-widget-host: %s\n", extension.error().c_str());
    return EX_UNAVAILABLE;
  }
  auto session = GallerySession::start(*extension);
  if (!session) {
    std::fprintf(stderr, "velto-widget-host: %s\n", session.error().c_str());
    return EX_UNAVAILABLE;
  }
  const std::string listing = widgetListing(session->widgets(), json_);
  if (std::fputs(listing.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "velto-widget-host: cannot write to standard output\n");
    return EX_IOERR;
  }
  return EX_OK;
}

}  // namespace velto::host
