#include "host/app/pending_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

Expected<PendingOutput, std::string> PendingOutput::create(const std::filesystem::path& target) {
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return Unexpected("cannot write '" + target.string() + "': the folder '" + folder.string()
                      + "' does not exist");
  }
  if (target.filename().empty()) {
    return Unexpected("cannot write '" + target.string() + "': it names a folder, not a file");
  }
  if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return Unexpected("cannot write '" + target.string() + "': it is a folder");
  }
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    return Unexpected("cannot write in '" + folder.string() + "': " + std::strerror(errno));
  }
  ::fchmod(fd, 0644);
  ::close(fd);
  return PendingOutput(target, pattern);
}

PendingOutput::PendingOutput(PendingOutput&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)) {
  other.temporary_.clear();
}

PendingOutput::~PendingOutput() {
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
  }
}

Expected<void, std::string> PendingOutput::commit() {
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    return Unexpected("cannot write '" + target_.string() + "': " + std::strerror(errno));
  }
  temporary_.clear();
  return {};
}

}  // namespace velto::host
