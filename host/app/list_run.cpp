// What `list` does, in the program that draws with Cairo (it shares the gallery's
// session with the extension).

#include <cstdio>

#include <sysexits.h>

#include "host/app/extension_location.hpp"
#include "host/app/gallery.hpp"
#include "host/app/list_command.hpp"

namespace velto::host {

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
