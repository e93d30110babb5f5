#pragma once

#include <filesystem>
#include <string>

#include "platform/foundation/expected.hpp"

namespace velto::host {

/// An output file written under a temporary name in its final folder and put
/// in place by one rename, so that no partial file is ever left at the path.
/// Removed again unless committed.
class PendingOutput {
 public:
  /// Reserves a temporary file beside `target`; fails with a message when the
  /// folder is missing or cannot be written.
  static platform::foundation::Expected<PendingOutput, std::string> create(
      const std::filesystem::path& target);

  PendingOutput(PendingOutput&& other) noexcept;
  PendingOutput& operator=(PendingOutput&&) = delete;
  ~PendingOutput();

  /// Where to write the contents.
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  /// Moves the written file to the target path.
  platform::foundation::Expected<void, std::string> commit();

 private:
  PendingOutput(std::filesystem::path target, std::filesystem::path temporary)
      : target_(std::move(target)), temporary_(std::move(temporary)) {}

  std::filesystem::path target_;
  std::filesystem::path temporary_;
};

}  // namespace velto::host
