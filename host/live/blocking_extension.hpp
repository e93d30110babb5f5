#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>
#include <sys/types.h>

#include "host/client/rpc_client.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host::live {

/// A started extension asked one request at a time, for the commands that draw
/// once and for tests: each ask runs a private main context only until its
/// reply, the reply deadline or the child's end. The child, framer and request
/// machine are the live host's, so both speak alike. As the protocol asks, a
/// late, malformed or error reply ends the extension; every later ask then
/// fails at once.
class BlockingExtension {
 public:
  /// Starts `executable`; asks nothing yet. A failure is one line.
  static platform::foundation::Expected<BlockingExtension, std::string> start(
      const std::filesystem::path& executable,
      std::chrono::milliseconds replyDeadline = RpcClient::kReplyDeadline);

  BlockingExtension(BlockingExtension&&) noexcept;
  BlockingExtension& operator=(BlockingExtension&&) noexcept;
  /// Closes the extension's input so it ends, and reaps it.
  ~BlockingExtension();

  /// Sends one request and waits for its reply; yields the reply's result, or
  /// one line saying why there is none.
  platform::foundation::Expected<nlohmann::json, std::string> ask(std::string_view method,
                                                                  nlohmann::json params);

  /// Closes the extension's input so it ends its serve loop, waits a short
  /// grace before killing it, and says how it ended ("exited with status 0").
  std::string finish();

  pid_t pid() const;

 private:
  struct Connection;
  explicit BlockingExtension(std::unique_ptr<Connection> connection);

  std::unique_ptr<Connection> connection_;
};

}  // namespace velto::host::live
