// Any bytes as one datagram on the desktop host's session socket: refused, or a
// request within the limits that reads back equal from its own text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/session/host_request.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace session = velto::host::session;
  const std::string_view datagram(reinterpret_cast<const char*>(data), size);
  const auto request = session::parseRequestText(datagram);
  if (!request) {
    return 0;
  }
  const std::string text = session::requestText(*request);
  if (request->placementArguments.size() > session::kMaxRequestArguments
      || text.size() > session::kMaxRequestBytes) {
    std::abort();
  }
  const auto again = session::parseRequestText(text);
  if (!again || !(*again == *request)) {
    std::abort();
  }
  return 0;
}
