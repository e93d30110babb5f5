#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/output/signal_cleanup.hpp"
#include "platform/foundation/atomic_file_replacement.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host {

/// Why an output could not be written: a sysexits status and one line.
struct OutputError {
  int status;
  std::string message;
};

/// Where a drawn file goes, settled before anything is drawn so that a bad
/// path fails at once:
/// - "-" is standard output;
/// - a FIFO, a character device or another file that is not regular is
///   written through directly;
/// - a symbolic link is followed, and its final target written as below;
/// - a regular file or a new name gets a temporary file in the same folder,
///   renamed into place on commit, so no partial file is ever seen at the
///   path; it is removed when the output is dropped uncommitted and when
///   SIGINT, SIGTERM or SIGHUP ends the program;
/// - a folder is refused.
class PendingOutput {
 public:
  /// The name that stands for standard output.
  static constexpr std::string_view kStandardOutput = "-";

  static platform::foundation::Expected<PendingOutput, OutputError> create(
      const std::filesystem::path& target);

  PendingOutput(PendingOutput&& other) noexcept = default;
  PendingOutput& operator=(PendingOutput&&) = delete;
  ~PendingOutput() = default;

  /// Writes `contents` and puts them in place.
  platform::foundation::Expected<void, OutputError> commit(std::string_view contents);

 private:
  enum class Kind { standardOutput, direct, replaced };

  PendingOutput(Kind kind, std::filesystem::path target)
      : kind_(kind), target_(std::move(target)) {}

  platform::foundation::Expected<void, OutputError> writeFailure(int error) const;

  Kind kind_;
  /// What the person named, for messages.
  std::filesystem::path target_;
  /// Where the bytes go in the end: the link's final target, or the path itself.
  std::filesystem::path destination_;
  /// Before the replacement, so that it is released only after the temporary
  /// file is gone.
  SignalCleanup cleanup_;
  std::optional<platform::foundation::AtomicFileReplacement> replacement_;
};

}  // namespace velto::host
