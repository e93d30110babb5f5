#pragma once

// What SessionHost owns, whichever way the session was claimed.

#include <memory>
#include <string>
#include <variant>

#include <glib.h>

#include "host/session/session_host.hpp"

namespace velto::host::session {

class SessionHost::Claim {
 public:
  virtual ~Claim() = default;
  virtual SessionChannel channel() const = 0;
};

namespace internal {

/// The channel could not be reached at all; another may be tried.
struct ChannelUnavailable {
  std::string why;
};

/// Where one attempt on a channel ended, when it did not fail outright: with
/// the session claimed, for claimSession to make a SessionHost of, or not.
using ChannelOutcome =
    std::variant<std::unique_ptr<SessionHost::Claim>, ToldRunningHost, ChannelUnavailable>;

/// Hands `request` to a handler taken over from `handlers`, after the checks
/// every channel makes of what arrives from outside.
void deliver(const SessionHandlers& handlers,
             platform::foundation::Expected<HostRequest, std::string> request);

struct SourceRelease {
  void operator()(GSource* source) const {
    g_source_destroy(source);
    g_source_unref(source);
  }
};

/// A GSource attached to a main context, detached when dropped.
using AttachedSource = std::unique_ptr<GSource, SourceRelease>;

}  // namespace internal
}  // namespace velto::host::session
