#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/widgets/runtime/line_transport.hpp"

namespace velto::host {

/// One thing the framer found in the bytes it was fed, in the order of the stream.
struct FramedLine {
  enum class Kind : unsigned char {
    /// A complete line, its newline and a '\r' before it dropped.
    line,
    /// A line longer than the cap; its bytes were dropped through its newline.
    tooLong,
  };

  Kind kind = Kind::line;
  /// The line's text; empty for `tooLong`.
  std::string text;

  friend bool operator==(const FramedLine&, const FramedLine&) = default;
};

/// Cuts a byte stream into newline-terminated lines without doing any I/O. It
/// holds at most `maxLine` bytes of an unfinished line, so a peer that never
/// sends a newline cannot make it grow: the over-long line is reported once, as
/// soon as it passes the cap, and the rest of it is skipped.
class LineFramer {
 public:
  explicit LineFramer(std::size_t maxLine = platform::widgets::kMaxMessageLine)
      : maxLine_(maxLine) {}

  /// Takes the next bytes of the stream; yields the lines they complete and any
  /// over-long line they start, in stream order.
  std::vector<FramedLine> feed(std::string_view bytes);

  /// The stream ended. Yields whether an unfinished line was dropped, and
  /// readies the framer for a new stream.
  bool finish();

  /// Bytes held of the unfinished line.
  std::size_t buffered() const { return partial_.size(); }

 private:
  std::size_t maxLine_;
  std::string partial_;
  bool skipping_ = false;  // inside an over-long line, until its newline
};

}  // namespace velto::host
