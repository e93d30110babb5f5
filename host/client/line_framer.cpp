#include "host/client/line_framer.hpp"

namespace velto::host {

std::vector<FramedLine> LineFramer::feed(std::string_view bytes) {
  std::vector<FramedLine> found;
  while (!bytes.empty()) {
    const std::size_t newline = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, newline);
    if (skipping_) {
      // The over-long line was reported when it passed the cap; drop the rest.
    } else if (partial_.size() + piece.size() > maxLine_ + 1) {
      // One byte of slack keeps a '\r' that may yet turn out to end the line.
      found.push_back({FramedLine::Kind::tooLong, {}});
      partial_.clear();
      skipping_ = true;
    } else {
      partial_.append(piece);
    }
    if (newline == std::string_view::npos) {
      break;
    }
    bytes.remove_prefix(newline + 1);
    if (skipping_) {
      skipping_ = false;
      continue;
    }
    if (!partial_.empty() && partial_.back() == '\r') {
      partial_.pop_back();
    }
    if (partial_.size() > maxLine_) {
      found.push_back({FramedLine::Kind::tooLong, {}});
      partial_.clear();
      continue;
    }
    found.push_back({FramedLine::Kind::line, std::move(partial_)});
    partial_.clear();
  }
  return found;
}

bool LineFramer::finish() {
  const bool dropped = !partial_.empty() || skipping_;
  partial_.clear();
  skipping_ = false;
  return dropped;
}

}  // namespace velto::host
