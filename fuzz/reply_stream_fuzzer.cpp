// Any bytes as the extension's stdout, cut into chunks at arbitrary points: the
// framer, the request machine, the reply decoding and the scheduler take it
// without crashing, holding no more than one line's cap, and the scheduler never
// asks to be woken before the instant it was given.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

#include "host/client/line_framer.hpp"
#include "host/client/replies.hpp"
#include "host/client/rpc_client.hpp"
#include "host/scheduler/widget_scheduler.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace std::chrono_literals;
  using velto::host::RpcReply;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  velto::host::LineFramer framer(4096);
  velto::host::RpcClient client;
  velto::host::WidgetScheduler scheduler("VeltoTimerWidget",
                                         platform::widgets::WidgetFamily::systemSmall);
  const auto start = velto::host::RpcClient::Instant{} + 1h;
  double wall = 1000.0;
  for (int i = 0; i < 4; ++i) {
    (void)client.request("timeline", velto::host::widgetParams("K", scheduler.family()), start);
  }

  while (!bytes.empty()) {
    // The first byte of each round says how long the chunk is.
    const std::size_t length =
        std::min<std::size_t>(bytes.size() - 1, static_cast<unsigned char>(bytes.front()));
    const std::string_view chunk = bytes.substr(1, length);
    bytes.remove_prefix(1 + length);
    for (const auto& framed : framer.feed(chunk)) {
      if (framed.kind != velto::host::FramedLine::Kind::line) {
        continue;
      }
      auto received = client.receive(framed.text, start + 1s);
      if (const auto* reply = std::get_if<RpcReply>(&received); reply && reply->outcome) {
        if (auto timeline = velto::host::decodeTimeline(*reply->outcome)) {
          scheduler.timelineArrived(std::move(*timeline));
        }
      }
    }
    if (framer.buffered() > 4097) {
      std::abort();
    }
    wall += 0.5;
    const auto step = scheduler.advance(platform::foundation::Date(wall));
    if (step.reload) {
      scheduler.reloadFailed();
    }
    if (step.wakeAt && *step.wakeAt < platform::foundation::Date(wall)) {
      std::abort();
    }
  }
  return 0;
}
