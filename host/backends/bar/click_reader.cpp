#include "host/backends/bar/click_reader.hpp"

#include <utility>

namespace velto::host::bar {

ClickReader::ClickReader(std::function<void(const Click&)> clicked,
                         std::function<void(std::string_view)> log)
    : clicked_(std::move(clicked)), log_(std::move(log)) {}

void ClickReader::feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto newline = bytes.find('\n');
    const std::string_view part = bytes.substr(0, newline);
    if (!skipping_) {
      if (pending_.size() + part.size() > kMaxClickLine) {
        log_("ignored a click event longer than " + std::to_string(kMaxClickLine) + " bytes");
        pending_.clear();
        skipping_ = true;
      } else {
        pending_.append(part);
      }
    }
    if (newline == std::string_view::npos) {
      return;
    }
    if (!skipping_) {
      line(pending_);
    }
    pending_.clear();
    skipping_ = false;
    bytes.remove_prefix(newline + 1);
  }
}

void ClickReader::line(std::string_view text) {
  const ClickLine read = readClickLine(text);
  if (!read.error.empty()) {
    log_("ignored a click event: " + read.error);
  } else if (read.click) {
    clicked_(*read.click);
  }
}

}  // namespace velto::host::bar
