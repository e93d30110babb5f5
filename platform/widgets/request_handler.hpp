#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/widgets/widget_configuration.hpp"

namespace platform::widgets {

/// The protocol version the runtime serves.
inline constexpr int kProtocolVersion = 1;

/// JSON-RPC 2.0 error codes.
enum class RpcError : int {
  parseError = -32700,
  invalidRequest = -32600,
  methodNotFound = -32601,
  invalidParams = -32602,
  internalError = -32603,
};

/// Answers the host's requests, one line in, one line out, for a fixed set of
/// widget configurations. Holds nothing between requests.
class RequestHandler {
 public:
  explicit RequestHandler(std::span<const WidgetConfiguration> configurations)
      : configurations_(configurations) {}

  /// The reply to one message line; nothing for a notification (a request
  /// without an id), which JSON-RPC leaves unanswered.
  std::optional<std::string> handle(std::string_view line) const;

  /// The reply to a line over the transport's cap.
  static std::string lineTooLongReply();

 private:
  std::span<const WidgetConfiguration> configurations_;
};

}  // namespace platform::widgets
