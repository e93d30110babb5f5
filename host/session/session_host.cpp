#include "host/session/session_host.hpp"

#include <utility>

#include "host/session/internal/bus_claim.hpp"
#include "host/session/internal/claim.hpp"
#include "host/session/internal/folder_claim.hpp"
#include "platform/foundation/overloaded.hpp"

namespace velto::host::session {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

SessionHost::SessionHost(std::unique_ptr<Claim> claim) : claim_(std::move(claim)) {}
SessionHost::SessionHost(SessionHost&&) noexcept = default;
SessionHost& SessionHost::operator=(SessionHost&&) noexcept = default;
SessionHost::~SessionHost() = default;

SessionChannel SessionHost::channel() const {
  return claim_->channel();
}

namespace internal {

void deliver(const SessionHandlers& handlers, Expected<HostRequest, std::string> request) {
  // Copies, so that a handler may drop the SessionHost that holds the originals.
  if (request) {
    if (auto requested = handlers.requested) {
      requested(*request);
    }
  } else if (auto refused = handlers.refused) {
    refused("ignored a request: " + request.error());
  }
}

}  // namespace internal

Expected<SessionClaim, std::string> claimSession(std::string_view applicationId,
                                                 const HostRequest& request,
                                                 SessionHandlers handlers) {
  if (auto checked = checkedRequest(request.placementArguments); !checked) {
    return Unexpected("cannot pass on the request: " + checked.error());
  }
  const std::string id(applicationId);
  using Outcome = Expected<internal::ChannelOutcome, std::string>;
  const auto settle = [](Outcome outcome) -> Expected<SessionClaim, std::string> {
    if (!outcome) {
      return Unexpected(std::move(outcome).error());
    }
    return std::visit(
        platform::foundation::overloaded{
            [](SessionHost& host) -> Expected<SessionClaim, std::string> {
              return SessionClaim(std::move(host));
            },
            [](ToldRunningHost& told) -> Expected<SessionClaim, std::string> {
              return SessionClaim(told);
            },
            [](internal::ChannelUnavailable& unavailable) -> Expected<SessionClaim, std::string> {
              return Unexpected(std::move(unavailable.why));
            },
        },
        *outcome);
  };

  Outcome onBus = internal::claimOnSessionBus(id, request, handlers);
  if (!onBus || !std::holds_alternative<internal::ChannelUnavailable>(*onBus)) {
    return settle(std::move(onBus));
  }
  const std::string busProblem = std::get<internal::ChannelUnavailable>(*onBus).why;
  Outcome inFolder = internal::claimInRuntimeFolder(id, request, handlers);
  if (inFolder && std::holds_alternative<internal::ChannelUnavailable>(*inFolder)) {
    return Unexpected(busProblem + ", and "
                      + std::get<internal::ChannelUnavailable>(*inFolder).why);
  }
  return settle(std::move(inFolder));
}

}  // namespace velto::host::session
