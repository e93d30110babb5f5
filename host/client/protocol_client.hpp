#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "host/client/extension_process.hpp"
#include "host/client/host_error.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/widgets/protocol/messages.hpp"

namespace velto::host {

/// How long the host waits for any one reply.
inline constexpr std::chrono::milliseconds kReplyDeadline{2000};

/// The host's end of the extension protocol: JSON-RPC 2.0, one message a line.
/// Any failure (a late, malformed or error reply, or a child that ends) is
/// reported as a HostError and ends the child; later calls fail at once.
class ProtocolClient {
 public:
  explicit ProtocolClient(ExtensionProcess process) : process_(std::move(process)) {}

  /// Sends one request and waits up to `deadline` for the reply with its id;
  /// yields the reply's "result", still to be decoded for its method.
  platform::foundation::Expected<nlohmann::json, HostError> call(
      const platform::widgets::protocol::RequestParams& params,
      std::chrono::milliseconds deadline = kReplyDeadline);

  /// call() for any method and params, also ones the extension refuses.
  platform::foundation::Expected<nlohmann::json, HostError> call(
      std::string_view method, const nlohmann::json& params,
      std::chrono::milliseconds deadline = kReplyDeadline);

  /// Closes the connection, so the extension ends its serve loop, and says how
  /// it ended ("exited with status 0").
  std::string shutdown();

 private:
  platform::foundation::Expected<nlohmann::json, HostError> exchange(
      std::string_view method, const std::string& request, std::int64_t id,
      std::chrono::milliseconds deadline);
  platform::foundation::Expected<std::string, HostError> readLine(std::string_view method,
                                                                  std::chrono::milliseconds budget);
  HostError fail(std::string message);

  ExtensionProcess process_;
  std::string pending_;  // bytes read past the last complete line
  std::int64_t nextId_ = 1;
  bool failed_ = false;
};

}  // namespace velto::host
