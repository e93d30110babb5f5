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

namespace {

/// The bus name and the runtime folder's lock, held together.
class JointClaim final : public SessionHost::Claim {
 public:
  JointClaim(std::unique_ptr<Claim> onBus, std::unique_ptr<Claim> inFolder)
      : onBus_(std::move(onBus)), inFolder_(std::move(inFolder)) {}
  SessionChannel channel() const override { return onBus_->channel(); }

 private:
  std::unique_ptr<Claim> onBus_;
  std::unique_ptr<Claim> inFolder_;
};

using Outcome = Expected<internal::ChannelOutcome, std::string>;

Expected<SessionClaim, std::string> settle(Outcome outcome) {
  if (!outcome) {
    return Unexpected(std::move(outcome).error());
  }
  return std::visit(
      platform::foundation::overloaded{
          [](std::unique_ptr<SessionHost::Claim>& claim) -> Expected<SessionClaim, std::string> {
            return SessionClaim(SessionHost(std::move(claim)));
          },
          [](ToldRunningHost& told) -> Expected<SessionClaim, std::string> {
            return SessionClaim(told);
          },
          [](internal::ChannelUnavailable& unavailable) -> Expected<SessionClaim, std::string> {
            return Unexpected(std::move(unavailable.why));
          },
      },
      *outcome);
}

}  // namespace

// 1. The session bus decides where it can be reached: a later launch that
//    finds the name taken tells its holder and is done.
// 2. The runtime folder decides where it cannot.
// 3. The bus's host also takes the folder's lock, so that a launch that cannot
//    reach the bus finds it too; when a host without a bus holds the lock, that
//    one is told, and the name is let go again.
Expected<SessionClaim, std::string> claimSession(std::string_view applicationId,
                                                 const HostRequest& request,
                                                 SessionHandlers handlers) {
  if (auto checked = checkedRequest(request.placementArguments); !checked) {
    return Unexpected("cannot pass on the request: " + checked.error());
  }
  const std::string id(applicationId);

  Outcome onBus = internal::claimOnSessionBus(id, request, handlers);
  if (!onBus || std::holds_alternative<ToldRunningHost>(*onBus)) {
    return settle(std::move(onBus));
  }
  Outcome inFolder = internal::claimInRuntimeFolder(id, request, handlers);
  if (auto* busProblem = std::get_if<internal::ChannelUnavailable>(&*onBus)) {
    if (inFolder && std::holds_alternative<internal::ChannelUnavailable>(*inFolder)) {
      return Unexpected(busProblem->why + ", and "
                        + std::get<internal::ChannelUnavailable>(*inFolder).why);
    }
    return settle(std::move(inFolder));
  }
  auto& busClaim = std::get<std::unique_ptr<SessionHost::Claim>>(*onBus);
  if (inFolder) {
    if (std::holds_alternative<ToldRunningHost>(*inFolder)) {
      return settle(std::move(inFolder));
    }
    if (auto* folderClaim = std::get_if<std::unique_ptr<SessionHost::Claim>>(&*inFolder)) {
      return SessionClaim(
          SessionHost(std::make_unique<JointClaim>(std::move(busClaim), std::move(*folderClaim))));
    }
  }
  // Without the folder the bus alone still keeps one host per session.
  return SessionClaim(SessionHost(std::move(busClaim)));
}

}  // namespace velto::host::session
