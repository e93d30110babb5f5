#pragma once

// What a later launch asks of the session's running host, and the one text form
// it travels in over the runtime folder's socket.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/expected.hpp"

namespace velto::host::session {

/// Most arguments one request carries.
inline constexpr std::size_t kMaxRequestArguments = 16;
/// Largest request in bytes, as its text (see requestText), on every channel.
inline constexpr std::size_t kMaxRequestBytes = 4096;

/// What a later launch passes on to the running host: nothing but "re-read the
/// settings" when empty, else also a placement given on its command line, as the
/// argument strings of that command line (`{"--family", "medium"}`), which the
/// running host parses itself.
struct HostRequest {
  std::vector<std::string> placementArguments;

  friend bool operator==(const HostRequest&, const HostRequest&) = default;
};

/// `arguments` as a request, or why no running host would take it: too many,
/// too long, not UTF-8, or holding a NUL byte.
platform::foundation::Expected<HostRequest, std::string> checkedRequest(
    std::vector<std::string> arguments);

/// The request as one JSON text: an array of strings. `request` holds UTF-8 only.
std::string requestText(const HostRequest& request);

/// The request in `text`, or why it is refused; `text` is untrusted.
platform::foundation::Expected<HostRequest, std::string> parseRequestText(std::string_view text);

}  // namespace velto::host::session
