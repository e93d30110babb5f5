#include "platform/foundation/write_all.hpp"

#include <cerrno>

#include <unistd.h>

namespace platform::foundation {

Expected<void, int> writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      const int error = errno;
      if (error == EINTR) {
        continue;
      }
      return Unexpected(error);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

}  // namespace platform::foundation
