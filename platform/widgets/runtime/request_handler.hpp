#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/widgets/runtime/widget_configuration.hpp"

namespace platform::widgets {

/// Answers the host's requests, one line in, one line out, for a fixed set of
/// widget configurations. Holds nothing between requests.
class RequestHandler {
 public:
  explicit RequestHandler(std::span<const WidgetConfiguration> configurations)
      : configurations_(configurations) {}

  /// The reply to one message line; nothing for a notification (a request
  /// without an id), which JSON-RPC leaves unanswered whatever it holds.
  std::optional<std::string> handle(std::string_view line) const;

  /// The reply to a line over the transport's cap.
  static std::string lineTooLongReply();

 private:
  std::span<const WidgetConfiguration> configurations_;
};

}  // namespace platform::widgets
