#include "host/session/internal/claim.hpp"

namespace velto::host::session::internal {

void deliver(const SessionHandlers& handlers,
             platform::foundation::Expected<HostRequest, std::string> request) {
  // Copies, so that a handler may drop the SessionHost that holds the originals.
  if (request) {
    if (auto requested = handlers.requested) {
      requested(*request);
    }
  } else if (auto refused = handlers.refused) {
    refused("ignored a request: " + request.error());
  }
}

}  // namespace velto::host::session::internal
