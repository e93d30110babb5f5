#include "host/output/pending_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"
#include "platform/foundation/write_all.hpp"

namespace velto::host {

namespace fs = std::filesystem;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::foundation::UniqueFd;

namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

Unexpected<OutputError> failure(int status, const fs::path& path, const std::string& why) {
  return Unexpected(OutputError{status, "cannot write '" + path.string() + "': " + why});
}

/// Writes all of `bytes`; false with errno set when the file takes no more.
bool writeAll(int fd, std::span<const char> bytes) {
  const auto written = platform::foundation::writeAll(fd, {bytes.data(), bytes.size()});
  if (!written) {
    errno = written.error();
    return false;
  }
  return true;
}

/// `path` with every symbolic link at its end followed, to a file or a name
/// that does not exist yet.
Expected<fs::path, OutputError> followLinks(const fs::path& path) {
  fs::path current = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return current;
    }
    std::error_code error;
    const fs::path next = fs::read_symlink(current, error);
    if (error) {
      return failure(EX_CANTCREAT, path, error.message());
    }
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return failure(EX_CANTCREAT, path, std::strerror(ELOOP));
}

}  // namespace

Expected<PendingOutput, OutputError> PendingOutput::create(const fs::path& target) {
  if (target == kStandardOutput) {
    return PendingOutput(Kind::standardOutput, target);
  }
  if (target.filename().empty()) {
    return failure(EX_CANTCREAT, target, "it names a folder, not a file");
  }
  auto destination = followLinks(target);
  if (!destination) {
    return Unexpected(std::move(destination).error());
  }
  struct stat info {};
  if (::stat(destination->c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      return failure(EX_CANTCREAT, target, "it is a folder");
    }
    if (!S_ISREG(info.st_mode)) {
      // Opened only when there is something to write: a FIFO's open waits for its reader.
      PendingOutput output(Kind::direct, target);
      output.destination_ = *destination;
      return output;
    }
  }

  const fs::path folder =
      destination->has_parent_path() ? destination->parent_path() : fs::path(".");
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return failure(EX_CANTCREAT, target, "the folder '" + folder.string() + "' does not exist");
  }
  PendingOutput output(Kind::replaced, target);
  output.destination_ = *destination;
  int error = 0;
  output.cleanup_ = SignalCleanup::watchMade([&] {
    auto replacement = platform::foundation::AtomicFileReplacement::begin(
        *destination, {.mode = 0644, .hiddenTemporary = true});
    if (!replacement) {
      error = replacement.error().error;
      return std::string();
    }
    output.replacement_.emplace(std::move(*replacement));
    return output.replacement_->temporaryPath().string();
  });
  if (!output.replacement_) {
    return Unexpected(OutputError{
        EX_CANTCREAT, "cannot write in '" + folder.string() + "': " + std::strerror(error)});
  }
  return output;
}

Expected<void, OutputError> PendingOutput::writeFailure(int error) const {
  return failure(EX_IOERR, target_, std::strerror(error));
}

Expected<void, OutputError> PendingOutput::commit(std::string_view contents) {
  const std::span<const char> bytes(contents.data(), contents.size());
  switch (kind_) {
    case Kind::standardOutput:
      if (!writeAll(STDOUT_FILENO, bytes)) {
        return Unexpected(OutputError{
            EX_IOERR, std::string("cannot write to standard output: ") + std::strerror(errno)});
      }
      return {};
    case Kind::direct: {
      const UniqueFd fd(::open(destination_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
      if (!fd) {
        return failure(EX_CANTCREAT, target_, std::strerror(errno));
      }
      if (!writeAll(fd.get(), bytes)) {
        return writeFailure(errno);
      }
      return {};
    }
    case Kind::replaced: {
      using Step = platform::foundation::ReplacementError::Step;
      auto done = replacement_->write(contents);
      if (done) {
        done = replacement_->commit();
      }
      if (!done) {
        replacement_.reset();  // removes the temporary file while the handler still would
      }
      cleanup_.release();
      if (!done) {
        const auto& [step, error, temporary] = done.error();
        switch (step) {
          case Step::create:
          case Step::write:
            return writeFailure(error);
          case Step::rename:
            return failure(EX_CANTCREAT, target_, std::strerror(error));
          case Step::syncFolder:
            return Unexpected(OutputError{
                EX_IOERR,
                "wrote '" + target_.string()
                    + "', but could not flush its folder to disk: " + std::strerror(error)});
        }
      }
      return {};
    }
  }
  return {};
}

}  // namespace velto::host
