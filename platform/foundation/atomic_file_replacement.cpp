#include "platform/foundation/atomic_file_replacement.hpp"

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/write_all.hpp"

namespace platform::foundation {

namespace {

constexpr std::string_view kRandomPart = "XXXXXX";

std::string temporaryPrefix(std::string_view targetName, bool hidden) {
  return (hidden ? "." : "") + std::string(targetName) + ".";
}

std::filesystem::path folderOf(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

}  // namespace

Expected<AtomicFileReplacement, ReplacementError> AtomicFileReplacement::begin(
    std::filesystem::path target, const Options& options) {
  std::string pattern = (folderOf(target)
                         / (temporaryPrefix(target.filename().native(), options.hiddenTemporary)
                            + kRandomPart.data()))
                            .native();
  UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd) {
    return Unexpected(ReplacementError{ReplacementError::Step::create, errno, {}});
  }
  AtomicFileReplacement replacement(std::move(target), std::move(pattern), std::move(fd));
  if ((options.mode && ::fchmod(replacement.fd_.get(), *options.mode) != 0)
      || (options.lockTemporary && ::flock(replacement.fd_.get(), LOCK_EX | LOCK_NB) != 0)) {
    return replacement.failure(ReplacementError::Step::write, errno);
  }
  return replacement;
}

bool AtomicFileReplacement::isTemporaryName(std::string_view name, std::string_view targetName,
                                            bool hiddenTemporary) {
  const std::string prefix = temporaryPrefix(targetName, hiddenTemporary);
  if (name.size() != prefix.size() + kRandomPart.size() || !name.starts_with(prefix)) {
    return false;
  }
  // mkostemp replaces the six X with letters and digits.
  const std::string_view random = name.substr(prefix.size());
  return std::all_of(random.begin(), random.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

AtomicFileReplacement::AtomicFileReplacement(AtomicFileReplacement&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})),
      fd_(std::move(other.fd_)) {}

AtomicFileReplacement& AtomicFileReplacement::operator=(AtomicFileReplacement&& other) noexcept {
  if (this != &other) {
    removeTemporary();
    target_ = std::move(other.target_);
    temporary_ = std::exchange(other.temporary_, {});
    fd_ = std::move(other.fd_);
  }
  return *this;
}

AtomicFileReplacement::~AtomicFileReplacement() {
  removeTemporary();
}

void AtomicFileReplacement::removeTemporary() noexcept {
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

Unexpected<ReplacementError> AtomicFileReplacement::failure(ReplacementError::Step step,
                                                            int error) const {
  return Unexpected(ReplacementError{step, error, temporary_});
}

Expected<void, ReplacementError> AtomicFileReplacement::write(std::string_view bytes) {
  if (!fd_) {
    return failure(ReplacementError::Step::write, EBADF);
  }
  if (auto written = writeAll(fd_.get(), bytes); !written) {
    return failure(ReplacementError::Step::write, written.error());
  }
  return {};
}

Expected<void, ReplacementError> AtomicFileReplacement::commit() {
  if (!fd_) {
    return failure(ReplacementError::Step::write, EBADF);
  }
  // Without the fsync a power loss after the rename can leave an empty file.
  if (::fsync(fd_.get()) != 0 || !fd_.close()) {
    return failure(ReplacementError::Step::write, errno);
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    return failure(ReplacementError::Step::rename, errno);
  }
  temporary_.clear();
  // The rename reaches the disk only with the folder's own entry list.
  const UniqueFd folder(::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder || ::fsync(folder.get()) != 0) {
    return failure(ReplacementError::Step::syncFolder, errno);
  }
  return {};
}

Expected<void, ReplacementError> replaceFileAtomically(
    const std::filesystem::path& target, std::string_view contents,
    const AtomicFileReplacement::Options& options) {
  auto replacement = AtomicFileReplacement::begin(target, options);
  if (!replacement) {
    return Unexpected(replacement.error());
  }
  if (auto written = replacement->write(contents); !written) {
    return written;
  }
  return replacement->commit();
}

}  // namespace platform::foundation
