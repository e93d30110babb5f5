#include "host/client/rpc_client.hpp"

#include <algorithm>
#include <utility>

#include "platform/foundation/overloaded.hpp"
#include "platform/foundation/printable_text.hpp"
#include "platform/widgets/protocol/reply_codec.hpp"
#include "platform/widgets/protocol/request_codec.hpp"

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
namespace protocol = platform::widgets::protocol;
using Json = nlohmann::json;

namespace {

// Keeps the id of a hostile line from flooding the log.
constexpr std::size_t kMaxShownId = 40;

std::string inQuotes(std::string_view method) {
  return "'" + std::string(method) + "'";
}

std::string idText(const protocol::RequestId& id) {
  return std::visit(platform::foundation::overloaded{
                        [](std::nullptr_t) { return std::string("null"); },
                        [](std::int64_t number) { return std::to_string(number); },
                        [](std::uint64_t number) { return std::to_string(number); },
                        [](const std::string& text) {
                          return "\"" + platform::foundation::printableText(text, kMaxShownId)
                                 + "\"";
                        },
                    },
                    id);
}

bool isId(const protocol::RequestId& id, std::int64_t wanted) {
  const auto* number = std::get_if<std::int64_t>(&id);
  return number != nullptr && *number == wanted;
}

}  // namespace

Expected<std::int64_t, RpcFault> RpcClient::enqueue(std::string_view method,
                                                    std::optional<protocol::RequestParams> params,
                                                    RpcTag tag, Instant now) {
  if (pending_.size() >= maxPending_) {
    return Unexpected(RpcFault{"too many requests wait for the extension ("
                               + std::to_string(pending_.size()) + "); not sending "
                               + inQuotes(method)});
  }
  const std::int64_t id = nextId_++;
  pending_.push_back({id, std::string(method), now + replyDeadline_, std::move(params), tag});
  return id;
}

Expected<RpcRequest, RpcFault> RpcClient::request(std::string_view method, Json params,
                                                  Instant now) {
  auto id = enqueue(method, std::nullopt, 0, now);
  if (!id) {
    return Unexpected(std::move(id).error());
  }
  const Json message = {
      {"jsonrpc", "2.0"}, {"id", *id}, {"method", method}, {"params", std::move(params)}};
  return RpcRequest{*id, message.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n"};
}

Expected<RpcRequest, RpcFault> RpcClient::request(const protocol::RequestParams& params,
                                                  Instant now, RpcTag tag) {
  auto id = enqueue(protocol::methodName(params), params, tag, now);
  if (!id) {
    return Unexpected(std::move(id).error());
  }
  return RpcRequest{*id, protocol::encodeRequest(protocol::RequestId(*id), params) + "\n"};
}

std::variant<RpcReply, RpcFault> RpcClient::receive(std::string_view line, Instant now) {
  if (pending_.empty()) {
    return RpcFault{"the extension wrote a line nobody asked for"};
  }
  const Pending& oldest = pending_.front();
  const auto fault = [&](std::string_view what) {
    return RpcFault{"the extension's answer to " + inQuotes(oldest.method) + " "
                    + std::string(what)};
  };
  if (oldest.deadline <= now) {
    return RpcFault{"the extension did not answer " + inQuotes(oldest.method) + " within "
                    + std::to_string(replyDeadline_.count()) + " ms"};
  }
  auto reply = protocol::decodeReply(line);
  if (!reply) {
    return fault(reply.error().message);
  }
  if (!isId(reply->id, oldest.id)) {
    if (std::holds_alternative<std::nullptr_t>(reply->id) && !reply->outcome) {
      return fault("is an error for no request: " + reply->outcome.error().message);
    }
    const bool waiting = std::any_of(pending_.begin(), pending_.end(),
                                     [&](const Pending& p) { return isId(reply->id, p.id); });
    return fault(waiting
                     ? "came after the answer to request " + idText(reply->id) + " (out of order)"
                     : "answers request " + idText(reply->id) + ", which nobody sent");
  }
  RpcReply out{oldest.id, oldest.method, std::move(reply->outcome), oldest.params, oldest.tag};
  pending_.pop_front();
  return out;
}

std::optional<RpcClient::Instant> RpcClient::nextDeadline() const {
  std::optional<Instant> earliest;
  for (const Pending& p : pending_) {
    if (!earliest || p.deadline < *earliest) {
      earliest = p.deadline;
    }
  }
  return earliest;
}

std::vector<RpcTimeout> RpcClient::expire(Instant now) {
  std::vector<RpcTimeout> late;
  std::erase_if(pending_, [&](Pending& p) {
    if (p.deadline > now) {
      return false;
    }
    late.push_back({p.id, std::move(p.method), std::move(p.params), p.tag});
    return true;
  });
  return late;
}

std::vector<RpcTimeout> RpcClient::reset() {
  std::vector<RpcTimeout> dropped;
  dropped.reserve(pending_.size());
  for (Pending& p : pending_) {
    dropped.push_back({p.id, std::move(p.method), std::move(p.params), p.tag});
  }
  pending_.clear();
  return dropped;
}

}  // namespace velto::host
