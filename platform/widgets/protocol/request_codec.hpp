#pragma once

// Requests in JSON: the host encodes them, the extension decodes them.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/foundation/expected.hpp"
#include "platform/widgets/protocol/messages.hpp"

namespace platform::widgets::protocol {

/// A decoded request.
struct Request {
  /// Nothing for a notification, which gets no reply.
  std::optional<RequestId> id;
  RequestParams params;
};

/// A line that is no request the extension can serve, and whom to tell.
struct RequestFailure {
  /// Where the reply goes: null when the id could not be read, nothing for a
  /// notification, which is never answered, not even for its faults.
  std::optional<RequestId> id;
  RpcError error;
};

/// The request of one message line, or why it cannot be served. Applies the
/// request's size and depth limits; never throws, except std::bad_alloc.
foundation::Expected<Request, RequestFailure> decodeRequest(std::string_view line);

/// One message line (no newline) asking `params`' method under `id`.
std::string encodeRequest(const RequestId& id, const RequestParams& params);

/// One message line (no newline) asking any method with any params, for tests
/// and tools that probe the extension with requests it may refuse.
std::string encodeRequest(const RequestId& id, std::string_view method,
                          const nlohmann::json& params);

}  // namespace platform::widgets::protocol
