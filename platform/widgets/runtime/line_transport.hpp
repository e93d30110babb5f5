#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/widgets/protocol/messages.hpp"

namespace platform::widgets {

using protocol::kMaxMessageLine;

/// Reads newline-framed messages from a stream. Memory stays bounded by the line
/// cap: an oversized line is skipped through to its newline and reported once.
class LineReader {
 public:
  enum class Status { line, tooLong, end };
  struct Result {
    Status status;
    std::string_view line;  // valid until the next call; only for Status::line
  };

  explicit LineReader(std::FILE* stream, std::size_t maxLine = kMaxMessageLine)
      : stream_(stream), maxLine_(maxLine) {}

  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// The next line without its newline (a trailing '\r' is dropped too). A last
  /// line that ends without a newline is incomplete and ends the stream. Reads
  /// byte by byte through stdio's buffer, so it never waits for more than the
  /// peer has sent.
  Result next();

 private:
  int nextByte();

  std::FILE* stream_;
  std::size_t maxLine_;
  std::string line_;
};

/// Writes newline-framed messages and flushes each one.
class LineWriter {
 public:
  explicit LineWriter(std::FILE* stream) : stream_(stream) {}

  /// False once the peer is gone or the stream failed; nothing is written after.
  bool write(std::string_view message);

 private:
  std::FILE* stream_;
  bool failed_ = false;
};

}  // namespace platform::widgets
