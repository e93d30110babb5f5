#include "host/session/internal/folder_claim.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <glib-unix.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"

namespace velto::host::session::internal {
namespace {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::foundation::UniqueFd;

// A host that holds the lock binds its socket right after; a launch waits this
// long for the socket to take its request before it gives up.
constexpr auto kPatience = std::chrono::seconds(5);
constexpr auto kRetryPause = std::chrono::milliseconds(20);

std::string systemError(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

/// The socket address of `path`, or nothing when the path is too long for one.
std::optional<sockaddr_un> socketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) {
    return std::nullopt;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

/// The lock holder: the lock itself and the socket later launches write to.
class FolderClaim final : public SessionHost::Claim {
 public:
  FolderClaim(UniqueFd lock, std::string socketPath, SessionHandlers handlers)
      : lock_(std::move(lock)),
        socketPath_(std::move(socketPath)),
        handlers_(std::move(handlers)) {}
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;
  ~FolderClaim() override {
    source_.reset();
    // Only while the lock is held is the socket file surely this host's own.
    if (socket_) {
      ::unlink(socketPath_.c_str());
    }
  }

  SessionChannel channel() const override { return SessionChannel::runtimeFolder; }

  /// Binds the socket, in place of one a host that ended left behind, and
  /// listens on the thread's default main context.
  Expected<void, std::string> listen(const sockaddr_un& address) {
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket) {
      return Unexpected(systemError("cannot open a socket", errno));
    }
    if (::unlink(socketPath_.c_str()) != 0 && errno != ENOENT) {
      return Unexpected(systemError("cannot remove '" + socketPath_ + "'", errno));
    }
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
      return Unexpected(systemError("cannot bind '" + socketPath_ + "'", errno));
    }
    socket_ = std::move(socket);
    GMainContext* context = g_main_context_ref_thread_default();
    GSource* source = g_unix_fd_source_new(socket_.get(), G_IO_IN);
    g_source_set_callback(source, G_SOURCE_FUNC(&FolderClaim::readable), this, nullptr);
    g_source_attach(source, context);
    source_.reset(source);
    g_main_context_unref(context);
    return {};
  }

 private:
  static gboolean readable(gint /*fd*/, GIOCondition /*condition*/, gpointer self) {
    return static_cast<FolderClaim*>(self)->receiveOne();
  }

  // One datagram a dispatch: the source fires again while more wait, and
  // nothing of this object is touched after a handler, which may drop it.
  gboolean receiveOne() {
    std::array<char, kMaxRequestBytes + 1> buffer{};
    const ssize_t size = ::recv(socket_.get(), buffer.data(), buffer.size(), MSG_TRUNC);
    if (size < 0) {
      if (errno != EAGAIN && errno != EINTR) {
        deliver(handlers_, Unexpected(systemError("cannot read the socket", errno)));
      }
      return G_SOURCE_CONTINUE;
    }
    if (static_cast<std::size_t>(size) > kMaxRequestBytes) {
      deliver(handlers_, Unexpected("longer than " + std::to_string(kMaxRequestBytes) + " bytes"));
      return G_SOURCE_CONTINUE;
    }
    deliver(handlers_,
            parseRequestText(std::string_view(buffer.data(), static_cast<std::size_t>(size))));
    return G_SOURCE_CONTINUE;
  }

  UniqueFd lock_;
  std::string socketPath_;
  SessionHandlers handlers_;
  UniqueFd socket_;
  AttachedSource source_;
};

/// Sends `text` as one datagram; fails with errno.
Expected<void, int> sendRequest(const sockaddr_un& address, const std::string& text) {
  const UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket) {
    return Unexpected(errno);
  }
  while (::sendto(socket.get(), text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&address), sizeof(address))
         < 0) {
    if (errno != EINTR) {
      return Unexpected(errno);
    }
  }
  return {};
}

/// `$XDG_RUNTIME_DIR/velto`, made when missing; a folder this user owns.
Expected<std::string, std::string> runtimeFolder() {
  const char* runtime = g_getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/') {
    return Unexpected(std::string("no XDG_RUNTIME_DIR"));
  }
  std::string folder = std::string(runtime) + "/velto";
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return Unexpected(systemError("cannot make '" + folder + "'", errno));
  }
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0) {
    return Unexpected(systemError("cannot read '" + folder + "'", errno));
  }
  if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
    return Unexpected("'" + folder + "' is no folder of this user's");
  }
  return folder;
}

}  // namespace

Expected<ChannelOutcome, std::string> claimInRuntimeFolder(const std::string& applicationId,
                                                           const HostRequest& request,
                                                           const SessionHandlers& handlers) {
  auto folder = runtimeFolder();
  if (!folder) {
    return ChannelUnavailable{std::move(folder).error()};
  }
  const std::string lockPath = *folder + "/" + applicationId + ".lock";
  std::string socketPath = *folder + "/" + applicationId + ".socket";
  const auto address = socketAddress(socketPath);
  if (!address) {
    return ChannelUnavailable{"'" + socketPath + "' is too long for a socket"};
  }
  UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!lock) {
    return ChannelUnavailable{systemError("cannot open '" + lockPath + "'", errno)};
  }

  const std::string text = requestText(request);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  int lastError = 0;
  // Either the lock is free, and this process hosts the session, or its holder
  // takes the request once its socket is bound. A holder that ends meanwhile
  // frees the lock, so both are tried until the deadline.
  while (std::chrono::steady_clock::now() < deadline) {
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) == 0) {
      auto claim = std::make_unique<FolderClaim>(std::move(lock), std::move(socketPath), handlers);
      if (auto listening = claim->listen(*address); !listening) {
        return Unexpected(std::move(listening).error());
      }
      return std::unique_ptr<SessionHost::Claim>(std::move(claim));
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      return Unexpected(systemError("cannot lock '" + lockPath + "'", errno));
    }
    const auto sent = sendRequest(*address, text);
    if (sent) {
      return ChannelOutcome(ToldRunningHost{SessionChannel::runtimeFolder});
    }
    lastError = sent.error();
    if (lastError != ENOENT && lastError != ECONNREFUSED && lastError != EAGAIN) {
      return Unexpected(systemError("cannot reach the running host", lastError));
    }
    std::this_thread::sleep_for(kRetryPause);
  }
  return Unexpected(systemError("the running host takes no requests", lastError));
}

}  // namespace velto::host::session::internal
