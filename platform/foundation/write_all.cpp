#include "platform/foundation/write_all.hpp"

#include <cerrno>

#include <unistd.h>

namespace platform::foundation {

Expected<std::string_view, int> writeSome(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    // Taking nothing without an error counts as no room: trying again at once
    // could spin.
    if (written == 0) {
      return bytes;
    }
    const int error = errno;
    if (error == EINTR) {
      continue;
    }
    if (error == EAGAIN || error == EWOULDBLOCK) {
      return bytes;
    }
    return Unexpected(error);
  }
  return bytes;
}

Expected<void, int> writeAll(int fd, std::string_view bytes) {
  const Expected<std::string_view, int> rest = writeSome(fd, bytes);
  if (!rest) {
    return Unexpected(rest.error());
  }
  if (!rest->empty()) {
    return Unexpected(EAGAIN);
  }
  return {};
}

Expected<std::size_t, int> PendingWrite::writeSome(int fd) {
  const Expected<std::string_view, int> rest =
      platform::foundation::writeSome(fd, std::string_view(bytes_).substr(sent_));
  if (!rest) {
    return Unexpected(rest.error());
  }
  sent_ = bytes_.size() - rest->size();
  return left();
}

}  // namespace platform::foundation
