#pragma once

#include <string>

#include "host/session/internal/claim.hpp"

namespace velto::host::session::internal {

/// Claims `applicationId` as a name on the session bus, or activates the
/// "request" action of the process that holds it.
platform::foundation::Expected<ChannelOutcome, std::string> claimOnSessionBus(
    const std::string& applicationId, const HostRequest& request, const SessionHandlers& handlers);

}  // namespace velto::host::session::internal
