#include "host/client/rpc_client.hpp"

#include <algorithm>
#include <utility>

#include "platform/ui/archive.hpp"

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using Json = nlohmann::json;

namespace {

// A reply nests a view archive four levels down: reply, result, entries, entry.
constexpr int kMaxReplyDepth = platform::ui::kMaxJsonDepth + 4;

// Keeps the id or text of a hostile line from flooding the log.
constexpr std::size_t kMaxQuoted = 40;

/// The JSON text of one message line, refusing what the parser would misread
/// (a NUL byte ends its input) and nesting deeper than any reply needs, before
/// anything that deep is built.
Expected<Json, std::string> parseMessage(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) {
    return Unexpected(std::string("a line holds a NUL byte"));
  }
  bool tooDeep = false;
  const Json::parser_callback_t limit = [&](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start)
        && depth >= kMaxReplyDepth) {
      tooDeep = true;
    }
    return !tooDeep;
  };
  Json parsed = Json::parse(line.begin(), line.end(), limit, /*allow_exceptions=*/false);
  if (tooDeep) {
    return Unexpected("a line nests deeper than " + std::to_string(kMaxReplyDepth) + " levels");
  }
  if (parsed.is_discarded()) {
    return Unexpected(std::string("a line is not JSON"));
  }
  return parsed;
}

std::string shortText(const Json& value) {
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > kMaxQuoted) {
    text.resize(kMaxQuoted);
    text += "…";
  }
  return text;
}

std::string inQuotes(std::string_view method) {
  return "'" + std::string(method) + "'";
}

Expected<RpcError, std::string> errorObject(const Json& error) {
  if (!error.is_object()) {
    return Unexpected(std::string("its error is not an object"));
  }
  const auto code = error.find("code");
  const auto message = error.find("message");
  if (code == error.end() || !code->is_number_integer()) {
    return Unexpected(std::string("its error has no integer code"));
  }
  if (message == error.end() || !message->is_string()) {
    return Unexpected(std::string("its error has no message"));
  }
  return RpcError{code->get<std::int64_t>(), message->get<std::string>()};
}

}  // namespace

Expected<RpcRequest, RpcFault> RpcClient::request(std::string_view method, Json params,
                                                  Instant now) {
  if (pending_.size() >= maxPending_) {
    return Unexpected(RpcFault{"too many requests wait for the extension ("
                               + std::to_string(pending_.size()) + "); not sending "
                               + inQuotes(method)});
  }
  const std::int64_t id = nextId_++;
  const Json message = {
      {"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
  RpcRequest out{id, message.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n"};
  pending_.push_back({id, std::string(method), now + replyDeadline_});
  return out;
}

std::variant<RpcReply, RpcFault> RpcClient::receive(std::string_view line, Instant now) {
  if (pending_.empty()) {
    return RpcFault{"the extension wrote a line nobody asked for"};
  }
  const Pending& oldest = pending_.front();
  if (oldest.deadline <= now) {
    return RpcFault{"the extension did not answer " + inQuotes(oldest.method) + " within "
                    + std::to_string(replyDeadline_.count()) + " ms"};
  }
  auto parsed = parseMessage(line);
  if (!parsed) {
    return RpcFault{"the extension's answer to " + inQuotes(oldest.method)
                    + " is garbage: " + parsed.error()};
  }
  Json& reply = *parsed;
  const auto fault = [&](std::string_view what) {
    return RpcFault{"the extension's answer to " + inQuotes(oldest.method) + " "
                    + std::string(what)};
  };
  if (!reply.is_object()) {
    return fault("is not a JSON object");
  }
  if (const auto version = reply.find("jsonrpc");
      version == reply.end() || *version != Json("2.0")) {
    return fault("is not JSON-RPC 2.0");
  }
  if (reply.contains("method")) {
    return fault("is a request of its own");
  }
  const auto id = reply.find("id");
  const auto result = reply.find("result");
  const auto error = reply.find("error");
  if (id == reply.end()) {
    return fault("has no id");
  }
  if (*id != Json(oldest.id)) {
    if (id->is_null() && error != reply.end()) {
      auto refused = errorObject(*error);
      return fault("is an error for no request: "
                   + (refused ? refused->message : std::string("(malformed)")));
    }
    const bool waiting = std::any_of(pending_.begin(), pending_.end(),
                                     [&](const Pending& p) { return *id == Json(p.id); });
    return fault(waiting ? "came after the answer to request " + shortText(*id) + " (out of order)"
                         : "answers request " + shortText(*id) + ", which nobody sent");
  }
  if ((result == reply.end()) == (error == reply.end())) {
    return fault("must hold either a result or an error");
  }
  RpcReply out{oldest.id, oldest.method, Json()};
  if (result != reply.end()) {
    out.outcome = std::move(*result);
  } else {
    auto refused = errorObject(*error);
    if (!refused) {
      return fault(refused.error());
    }
    out.outcome = Unexpected(std::move(*refused));
  }
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
    late.push_back({p.id, std::move(p.method)});
    return true;
  });
  return late;
}

std::vector<RpcTimeout> RpcClient::reset() {
  std::vector<RpcTimeout> dropped;
  dropped.reserve(pending_.size());
  for (Pending& p : pending_) {
    dropped.push_back({p.id, std::move(p.method)});
  }
  pending_.clear();
  return dropped;
}

}  // namespace velto::host
