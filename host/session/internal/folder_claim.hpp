#pragma once

#include <string>

#include "host/session/internal/claim.hpp"

namespace velto::host::session::internal {

/// Claims the session through a lock in `$XDG_RUNTIME_DIR/velto`, or sends the
/// request to the socket beside it when another process holds the lock.
platform::foundation::Expected<ChannelOutcome, std::string> claimInRuntimeFolder(
    const std::string& applicationId, const HostRequest& request, const SessionHandlers& handlers);

}  // namespace velto::host::session::internal
