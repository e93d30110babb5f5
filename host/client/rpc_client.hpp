#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/foundation/expected.hpp"
#include "platform/widgets/protocol/messages.hpp"

namespace velto::host {

/// An error reply's object: its code and its message for a person.
using RpcError = platform::widgets::protocol::RpcError;

/// A caller's mark on a request, handed back with its reply or timeout.
using RpcTag = std::uint64_t;

/// A request ready to send: its id, and its line, newline included.
struct RpcRequest {
  std::int64_t id = 0;
  std::string line;
};

/// The reply to a pending request: the method it answers and its result or error.
struct RpcReply {
  std::int64_t id = 0;
  std::string method;
  platform::foundation::Expected<nlohmann::json, RpcError> outcome;
  /// What a typed request asked, whose alternative says how to read the result;
  /// nothing for a request made by method name.
  std::optional<platform::widgets::protocol::RequestParams> request = std::nullopt;
  /// The caller's own mark given with the request (whom it was asked for).
  RpcTag tag = 0;
};

/// A line that breaks the protocol (not JSON, not a reply, a reply to no pending
/// request or out of order), or a request left without its reply past the
/// deadline. `reason` is one line for a person and the log.
struct RpcFault {
  std::string reason;

  friend bool operator==(const RpcFault&, const RpcFault&) = default;
};

/// A request that found no reply in time.
struct RpcTimeout {
  std::int64_t id = 0;
  std::string method;
  /// What a typed request asked; nothing for a request made by method name.
  std::optional<platform::widgets::protocol::RequestParams> request = std::nullopt;
  RpcTag tag = 0;

  friend bool operator==(const RpcTimeout&, const RpcTimeout&) = default;
};

/// The host's end of JSON-RPC 2.0 as a state machine: it makes request lines,
/// matches reply lines to the requests pending, and says which requests are
/// late. It does no I/O and reads no clock; instants are monotonic and given by
/// the caller. The peer answers in order, so a reply must answer the oldest
/// pending request.
class RpcClient {
 public:
  using Instant = std::chrono::steady_clock::time_point;

  /// How long a request may wait for its reply.
  static constexpr std::chrono::milliseconds kReplyDeadline{2000};
  /// How many requests may wait for replies at once.
  static constexpr std::size_t kMaxPending = 16;

  explicit RpcClient(std::chrono::milliseconds replyDeadline = kReplyDeadline,
                     std::size_t maxPending = kMaxPending)
      : replyDeadline_(replyDeadline), maxPending_(maxPending) {}

  /// A request for `method` made at `now`, due by now + the reply deadline.
  /// Refused while kMaxPending requests already wait.
  platform::foundation::Expected<RpcRequest, RpcFault> request(std::string_view method,
                                                               nlohmann::json params, Instant now);

  /// The same for typed params, which name their method. They come back with
  /// the reply (or the timeout), so the caller reads the result as the type
  /// they ask for and needs no note of its own about what it asked; `tag`
  /// comes back too, to say whom it was asked for.
  platform::foundation::Expected<RpcRequest, RpcFault> request(
      const platform::widgets::protocol::RequestParams& params, Instant now, RpcTag tag = 0);

  /// Matches one line received at `now` (no newline) to the oldest pending
  /// request. Anything that is not that request's reply, or comes after its
  /// deadline, is a fault; the pending requests are then left as they were, for
  /// the caller ends the connection.
  std::variant<RpcReply, RpcFault> receive(std::string_view line, Instant now);

  /// The earliest instant at which a pending request becomes late.
  std::optional<Instant> nextDeadline() const;

  /// Removes and yields the requests whose deadline has come by `now`, oldest first.
  std::vector<RpcTimeout> expire(Instant now);

  /// Forgets every pending request (the connection ended) and yields them,
  /// oldest first. Ids keep counting up, so a late line of the old peer can
  /// never be taken for a reply to a new request.
  std::vector<RpcTimeout> reset();

  /// How many requests wait for their replies.
  std::size_t pendingCount() const { return pending_.size(); }

 private:
  platform::foundation::Expected<std::int64_t, RpcFault> enqueue(
      std::string_view method, std::optional<platform::widgets::protocol::RequestParams> params,
      RpcTag tag, Instant now);

  struct Pending {
    std::int64_t id;
    std::string method;
    Instant deadline;
    std::optional<platform::widgets::protocol::RequestParams> params;
    RpcTag tag;
  };

  std::chrono::milliseconds replyDeadline_;
  std::size_t maxPending_;
  std::deque<Pending> pending_;
  std::int64_t nextId_ = 1;
};

}  // namespace velto::host
