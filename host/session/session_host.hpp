#pragma once

// One widget host per session: the first launch claims the session and hears of
// every later one; a later launch hands its request over and opens nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "host/session/host_request.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host::session {

/// The application id the desktop widget host claims.
inline constexpr std::string_view kWidgetHostApplicationId = "app.velto.WidgetHost";

/// How launches of one session find each other.
enum class SessionChannel : std::uint8_t {
  /// The application id as a name on the D-Bus session bus.
  sessionBus,
  /// A lock and a socket in `$XDG_RUNTIME_DIR/velto`, where there is no session bus.
  runtimeFolder,
};

/// What the session's host is told of, on its own main context.
struct SessionHandlers {
  /// A later launch asked for `request`.
  std::function<void(const HostRequest&)> requested;
  /// Something arrived that is no request; one line saying why, for a log.
  std::function<void(std::string_view)> refused;
};

/// This process hosts the session for as long as the object lives: later launches
/// are told to hand their requests to it, which arrive on the main context that
/// was the thread's default when it was claimed, whenever that context runs.
class SessionHost {
 public:
  class Claim;
  explicit SessionHost(std::unique_ptr<Claim> claim);
  SessionHost(SessionHost&&) noexcept;
  SessionHost& operator=(SessionHost&&) noexcept;
  ~SessionHost();

  /// The channel that decided: the session bus whenever this host holds its name.
  SessionChannel channel() const;

 private:
  std::unique_ptr<Claim> claim_;
};

/// Another host runs in this session and has been handed the request.
struct ToldRunningHost {
  SessionChannel channel;
};

/// Either this process now hosts the session, or another one does and was told.
using SessionClaim = std::variant<SessionHost, ToldRunningHost>;

/// Claims the session for `applicationId` on the thread's default main context,
/// or, when another process holds it, hands `request` to that process and waits
/// until it has been sent. The session bus decides where it can be reached, a
/// lock in `$XDG_RUNTIME_DIR/velto` where it cannot; a host holds both, so that
/// launches that differ in whether they reach the bus still find it. Fails, with
/// one line saying why, when neither works or `request` is not one a host would
/// take (see checkedRequest); a caller that goes on anyway does so as the host.
platform::foundation::Expected<SessionClaim, std::string> claimSession(
    std::string_view applicationId, const HostRequest& request, SessionHandlers handlers);

}  // namespace velto::host::session
