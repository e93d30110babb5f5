// How LiveHost reads the extension's replies: each by the type of the request
// it answers, routed to the widget of the family that request named.

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
                 [&](const protocol::PlaceholderParams& asked) {
                   if (const auto widget = widgetIn(asked.family)) {
                     placeholderArrived(*widget, *reply.outcome);
                   }
                 },
                 [&](const protocol::TimelineParams& asked) {
                   if (const auto widget = widgetIn(asked.family)) {
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
  const auto widget = timeline != nullptr ? widgetIn(timeline->family) : std::nullopt;
  if (!widget) {
    fault(reason);
    return;
  }
  log(reason);
  schedulers_[*widget].reloadFailed();
  advanceWidget(*widget);
}

void LiveHost::placeholderArrived(std::size_t widget, const nlohmann::json& result) {
  auto entry = decodeEntryResult(result);
  if (!entry) {
    fault(entry.error());
    return;
  }
  schedulers_[widget].placeholderArrived(std::move(*entry));
  advanceWidget(widget);
}

void LiveHost::timelineArrived(std::size_t widget, const nlohmann::json& result) {
  auto timeline = decodeTimeline(result);
  if (!timeline) {
    schedulers_[widget].reloadFailed();
    fault(timeline.error());
    return;
  }
  log("a timeline of " + std::to_string(timeline->entries.size()) + " entries arrived for "
      + std::string(platform::widgets::rawValue(schedulers_[widget].family())));
  schedulers_[widget].timelineArrived(std::move(*timeline));
  advanceWidget(widget);
}

std::optional<std::size_t> LiveHost::widgetIn(platform::widgets::WidgetFamily family) const {
  for (std::size_t i = 0; i < schedulers_.size(); ++i) {
    if (schedulers_[i].family() == family) {
      return i;
    }
  }
  return std::nullopt;
}

void LiveHost::lostRequests(const std::vector<RpcTimeout>& lost) {
  for (const RpcTimeout& request : lost) {
    const auto* timeline =
        request.request ? std::get_if<protocol::TimelineParams>(&*request.request) : nullptr;
    if (timeline == nullptr) {
      continue;
    }
    if (const auto widget = widgetIn(timeline->family)) {
      schedulers_[*widget].reloadFailed();
    }
  }
}

}  // namespace velto::host::live
