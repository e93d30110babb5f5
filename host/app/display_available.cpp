#include "host/app/display_available.hpp"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <sys/socket.h>
#include <sys/un.h>

#include "platform/foundation/unique_fd.hpp"

namespace velto::host {
namespace {

/// Whether a Unix socket at `path` accepts a connection.
bool socketAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  platform::foundation::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return fd
         && ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

bool waylandAnswers() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || name[0] == '\0') {
    return false;
  }
  if (name[0] == '/') {
    return socketAnswers(name);
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && runtime[0] == '/'
         && socketAnswers(std::string(runtime) + "/" + name);
}

bool x11Answers() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') {
    return false;
  }
  const std::string_view text(display);
  if (!text.starts_with(':')) {
    return true;  // a remote display: GTK will tell
  }
  const std::string number(text.substr(1, text.find('.') - 1));
  return !number.empty() && socketAnswers("/tmp/.X11-unix/X" + number);
}

bool displayAvailable() {
  return waylandAnswers() || x11Answers();
}

}  // namespace velto::host
