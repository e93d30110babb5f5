// How LiveHost reads the extension's replies: each by the type of the request
// it answers, routed to the widget it was asked for.

#include <string>
#include <utility>
#include <variant>

#include "host/client/replies.hpp"
#include "host/live/live_host.hpp"
#include "platform/foundation/overloaded.hpp"

namespace velto::host::live {

using platform::foundation::overloaded;
namespace protocol = platform::widgets::protocol;

void LiveHost::replied(const RpcReply& reply) {
  if (!reply.outcome) {
    refused(reply);
    return;
  }
  if (!reply.request) {
    return;  // every request this host makes is typed
  }
  std::visit(overloaded{
                 [&](const protocol::InitializeParams&) { initialized(*reply.outcome); },
                 [&](const protocol::PlaceholderParams&) {
                   if (Widget* widget = find(reply.tag)) {
                     placeholderArrived(*widget, *reply.outcome);
                   }
                 },
                 [&](const protocol::TimelineParams&) {
                   if (Widget* widget = find(reply.tag)) {
                     timelineArrived(*widget, *reply.outcome);
                   }
                 },
                 [](const protocol::SnapshotParams&) {},
                 [](const protocol::RelevanceParams&) {},
             },
             *reply.request);
}

void LiveHost::refused(const RpcReply& reply) {
  const std::string reason =
      "the extension refused '" + reply.method + "': " + reply.outcome.error().message;
  // A refused timeline leaves the one kept on display; the scheduler asks again.
  const auto* timeline =
      reply.request ? std::get_if<protocol::TimelineParams>(&*reply.request) : nullptr;
  if (timeline == nullptr) {
    fault(reason);
    return;
  }
  log(reason);
  if (Widget* widget = find(reply.tag); widget != nullptr && widget->scheduler) {
    widget->scheduler->reloadFailed();
    advanceWidget(widget->id);
  }
}

void LiveHost::placeholderArrived(Widget& widget, const nlohmann::json& result) {
  auto entry = decodeEntryResult(result);
  if (!entry) {
    fault(entry.error());
    return;
  }
  widget.scheduler->placeholderArrived(std::move(*entry));
  advanceWidget(widget.id);
}

void LiveHost::timelineArrived(Widget& widget, const nlohmann::json& result) {
  auto timeline = decodeTimeline(result);
  if (!timeline) {
    widget.scheduler->reloadFailed();
    fault(timeline.error());
    return;
  }
  log("a timeline of " + std::to_string(timeline->entries.size()) + " entries arrived for "
      + std::string(platform::widgets::rawValue(widget.family)));
  widget.scheduler->timelineArrived(std::move(*timeline));
  advanceWidget(widget.id);
}

void LiveHost::lostRequests(const std::vector<RpcTimeout>& lost) {
  for (const RpcTimeout& request : lost) {
    const auto* timeline =
        request.request ? std::get_if<protocol::TimelineParams>(&*request.request) : nullptr;
    if (timeline == nullptr) {
      continue;
    }
    if (Widget* widget = find(request.tag); widget != nullptr && widget->scheduler) {
      widget->scheduler->reloadFailed();
    }
  }
}

}  // namespace velto::host::live
