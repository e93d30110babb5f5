#include "host/backends/gtk/position_store.hpp"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/atomic_file_replacement.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host::gtk {

using platform::foundation::UniqueFd;

std::optional<std::filesystem::path> positionFile(std::string_view name, const char* xdgStateHome,
                                                  const char* home) {
  const std::string file = "desktop-" + std::string(name) + ".position";
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
    return std::filesystem::path(xdgStateHome) / "velto" / file;
  }
  if (home != nullptr && home[0] == '/') {
    return std::filesystem::path(home) / ".local" / "state" / "velto" / file;
  }
  return std::nullopt;
}

namespace {

std::optional<int> coordinate(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || text.empty() || text.front() == '+'
      || value < -kMaxCoordinate || value > kMaxCoordinate) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<ScreenPoint> parsePosition(std::string_view text) {
  if (text.ends_with('\n')) {
    text.remove_suffix(1);
  }
  const auto space = text.find(' ');
  if (space == std::string_view::npos) {
    return std::nullopt;
  }
  const auto x = coordinate(text.substr(0, space));
  const auto y = coordinate(text.substr(space + 1));
  if (!x || !y) {
    return std::nullopt;
  }
  return ScreenPoint{*x, *y};
}

std::string formatPosition(ScreenPoint point) {
  return std::to_string(point.x) + ' ' + std::to_string(point.y) + '\n';
}

std::optional<ScreenPoint> loadPosition(const std::filesystem::path& file) {
  // Non-blocking and no symlinks: a FIFO or a link planted there cannot hang or redirect us.
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)
      || status.st_size > static_cast<off_t>(kMaxPositionFileSize)) {
    return std::nullopt;
  }
  char buffer[kMaxPositionFileSize + 1];
  std::size_t length = 0;
  while (length < sizeof buffer) {
    const ssize_t got = ::read(fd.get(), buffer + length, sizeof buffer - length);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    length += static_cast<std::size_t>(got);
  }
  if (length > kMaxPositionFileSize) {
    return std::nullopt;
  }
  return parsePosition(std::string_view(buffer, length));
}

std::optional<std::string> savePosition(const std::filesystem::path& file, ScreenPoint point) {
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  if (error) {
    return "cannot make " + file.parent_path().string() + ": " + error.message();
  }
  const auto done = platform::foundation::replaceFileAtomically(file, formatPosition(point), {});
  if (!done) {
    return "cannot write " + file.string() + ": " + std::strerror(done.error().error);
  }
  return std::nullopt;
}

}  // namespace velto::host::gtk
