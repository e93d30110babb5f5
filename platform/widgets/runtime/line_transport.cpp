#include "platform/widgets/runtime/line_transport.hpp"

#include <cerrno>

namespace platform::widgets {

int LineReader::nextByte() {
  for (;;) {
    errno = 0;
    const int byte = getc_unlocked(stream_);
    if (byte != EOF || !std::ferror(stream_) || errno != EINTR) {
      return byte;
    }
    std::clearerr(stream_);
  }
}

LineReader::Result LineReader::next() {
  line_.clear();
  bool tooLong = false;
  for (int byte = nextByte(); byte != EOF; byte = nextByte()) {
    if (byte == '\n') {
      if (!line_.empty() && line_.back() == '\r') {
        line_.pop_back();
      }
      if (tooLong || line_.size() > maxLine_) {
        line_.clear();
        return {Status::tooLong, {}};
      }
      return {Status::line, line_};
    }
    // One byte past the cap is kept so that a "\r\n" ending still fits; the rest
    // of an oversized line is read and dropped.
    if (line_.size() <= maxLine_) {
      line_.push_back(static_cast<char>(byte));
    } else {
      tooLong = true;
    }
  }
  line_.clear();
  return {Status::end, {}};
}

bool LineWriter::write(std::string_view message) {
  if (failed_) {
    return false;
  }
  const bool ok = std::fwrite(message.data(), 1, message.size(), stream_) == message.size()
                  && std::fputc('\n', stream_) != EOF && std::fflush(stream_) == 0;
  failed_ = !ok;
  return ok;
}

}  // namespace platform::widgets
