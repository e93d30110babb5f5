// Any bytes as one reply line from the extension: the host's decoding refuses
// it or yields values that survive encoding again, and never crashes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/foundation/printable_text.hpp"
#include "platform/widgets/protocol/reply_codec.hpp"

namespace {

namespace protocol = platform::widgets::protocol;

/// Decodes `result` as one method's result and, when that works, checks that
/// what the extension would send for it reads back equal.
template <class Decode>
void roundTrip(const nlohmann::json& result, Decode decode) {
  const auto decoded = decode(result);
  if (!decoded) {
    return;
  }
  const auto again = protocol::decodeReply(protocol::encodeResult(std::int64_t{1}, *decoded));
  if (!again || !again->outcome) {
    std::abort();
  }
  const auto reread = decode(*again->outcome);
  if (!reread || !(*reread == *decoded)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto reply = protocol::decodeReply(line);
  if (!reply) {
    return 0;
  }
  if (!reply->outcome) {
    // What the host prints stays on one short line.
    const std::string& message = reply->outcome.error().message;
    if (message.size() > platform::foundation::kMaxPrintableBytes + 3) {
      std::abort();
    }
    for (const char c : message) {
      if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
        std::abort();
      }
    }
    return 0;
  }
  roundTrip(*reply->outcome, protocol::decodeInitializeResult);
  roundTrip(*reply->outcome, protocol::decodeEntryResult);
  roundTrip(*reply->outcome, protocol::decodeTimelineResult);
  roundTrip(*reply->outcome, protocol::decodeRelevanceResult);
  return 0;
}
