#include "host/live/latest_line_output.hpp"

#include <utility>

#include <fcntl.h>
#include <glib-unix.h>

namespace velto::host::live {

LatestLineOutput::LatestLineOutput(GMainContext* context, int fd, Failed failed)
    : context_(context), fd_(fd), originalFlags_(::fcntl(fd, F_GETFL)), failed_(std::move(failed)) {
  if (originalFlags_ >= 0) {
    ::fcntl(fd_, F_SETFL, originalFlags_ | O_NONBLOCK);
  }
}

LatestLineOutput::~LatestLineOutput() {
  // The descriptor may be shared with the shell that started us: leave it as it was.
  if (originalFlags_ >= 0) {
    ::fcntl(fd_, F_SETFL, originalFlags_);
  }
}

void LatestLineOutput::write(std::string line) {
  if (error_ || line.empty()) {
    return;
  }
  if (!current_.done()) {
    newest_ = std::move(line);
    return;
  }
  current_ = platform::foundation::PendingWrite(std::move(line));
  flush();
}

std::size_t LatestLineOutput::heldBytes() const {
  return current_.left() + (newest_ ? newest_->size() : 0);
}

void LatestLineOutput::flush() {
  for (;;) {
    const auto left = current_.writeSome(fd_);
    if (!left) {
      error_ = left.error();
      current_ = {};
      newest_.reset();
      writableWatch_.reset();
      failed_(*error_);
      return;
    }
    if (*left > 0) {
      if (!writableWatch_) {
        GSource* source = g_unix_fd_source_new(fd_, G_IO_OUT);
        g_source_set_callback(source,
                              reinterpret_cast<GSourceFunc>(reinterpret_cast<void*>(&writable)),
                              this, nullptr);
        writableWatch_ = AttachedSource(source, context_);
      }
      return;
    }
    if (!newest_) {
      break;
    }
    current_ = platform::foundation::PendingWrite(std::exchange(newest_, std::nullopt).value());
  }
  writableWatch_.reset();
}

gboolean LatestLineOutput::writable(gint, GIOCondition, gpointer self) {
  // flush() drops this watch itself once everything is out, or on failure.
  static_cast<LatestLineOutput*>(self)->flush();
  return G_SOURCE_CONTINUE;
}

}  // namespace velto::host::live
