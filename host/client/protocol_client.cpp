#include "host/client/protocol_client.hpp"

#include <array>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/widgets/protocol/reply_codec.hpp"
#include "platform/widgets/protocol/request_codec.hpp"

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using Json = nlohmann::json;
namespace protocol = platform::widgets::protocol;

namespace {

/// Blocks SIGPIPE on this thread for its lifetime and swallows one that its own
/// writes raise, so a vanished reader ends a write with EPIPE, never the process.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  ~SigpipeGuard() {
    const int savedErrno = errno;
    if (!wasPending_) {
      const timespec now{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &now) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    errno = savedErrno;
  }
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t pipe_{};
  sigset_t previous_{};
  bool wasPending_ = false;
};

bool writeAll(int fd, std::string_view bytes) {
  const SigpipeGuard guard;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string quoted(std::string_view method) {
  return "'" + std::string(method) + "'";
}

}  // namespace

HostError ProtocolClient::fail(std::string message) {
  failed_ = true;
  if (auto exit = process_.exitDescription()) {
    message += " (the extension " + *exit + ")";
  }
  process_.end();
  return HostError{std::move(message)};
}

Expected<std::string, HostError> ProtocolClient::readLine(std::string_view method,
                                                          std::chrono::milliseconds budget) {
  const auto deadline = std::chrono::steady_clock::now() + budget;
  std::array<char, 64 * 1024> chunk{};
  for (;;) {
    if (const auto newline = pending_.find('\n'); newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    if (pending_.size() > platform::widgets::protocol::kMaxMessageLine) {
      return Unexpected(fail("the extension's reply to " + quoted(method) + " is over 1 MiB"));
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return Unexpected(fail("the extension did not answer " + quoted(method) + " within "
                             + std::to_string(budget.count()) + " ms"));
    }
    pollfd watch{process_.replyFd(), POLLIN, 0};
    const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) {
      return Unexpected(
          fail(std::string("cannot wait for the extension: ") + std::strerror(errno)));
    }
    if (ready <= 0) {
      continue;
    }
    const ssize_t got = ::read(process_.replyFd(), chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      process_.end(std::chrono::milliseconds(500));
      return Unexpected(fail("the extension ended before answering " + quoted(method)));
    }
    pending_.append(chunk.data(), static_cast<std::size_t>(got));
  }
}

std::string ProtocolClient::shutdown() {
  process_.end(std::chrono::milliseconds(1000));
  failed_ = true;
  return process_.exitDescription().value_or("ended");
}

Expected<Json, HostError> ProtocolClient::call(const protocol::RequestParams& params,
                                               std::chrono::milliseconds deadline) {
  const std::int64_t id = nextId_++;
  return exchange(protocol::methodName(params), protocol::encodeRequest(id, params), id, deadline);
}

Expected<Json, HostError> ProtocolClient::call(std::string_view method, const Json& params,
                                               std::chrono::milliseconds deadline) {
  const std::int64_t id = nextId_++;
  return exchange(method, protocol::encodeRequest(id, method, params), id, deadline);
}

Expected<Json, HostError> ProtocolClient::exchange(std::string_view method,
                                                   const std::string& request, std::int64_t id,
                                                   std::chrono::milliseconds deadline) {
  if (failed_) {
    return Unexpected(HostError{"the extension is no longer running"});
  }
  if (!writeAll(process_.requestFd(), request + "\n")) {
    if (errno == EPIPE) {
      // Gone before it read the request: the same outcome as going before the reply.
      process_.end(std::chrono::milliseconds(500));
      return Unexpected(fail("the extension ended before answering " + quoted(method)));
    }
    return Unexpected(
        fail("cannot send " + quoted(method) + " to the extension: " + std::strerror(errno)));
  }

  auto line = readLine(method, deadline);
  if (!line) {
    return Unexpected(line.error());
  }
  auto reply = protocol::decodeReply(*line);
  if (!reply) {
    return Unexpected(
        fail("the extension's reply to " + quoted(method) + " " + reply.error().message));
  }
  if (reply->id != protocol::RequestId(id)) {
    return Unexpected(fail("the extension's reply to " + quoted(method)
                           + " is not a JSON-RPC 2.0 reply to request " + std::to_string(id)));
  }
  if (!reply->outcome) {
    const auto& error = reply->outcome.error();
    return Unexpected(fail("the extension refused " + quoted(method) + ": " + error.message
                           + " (code " + std::to_string(error.code) + ")"));
  }
  return std::move(*reply->outcome);
}

}  // namespace velto::host
