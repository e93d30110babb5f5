#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include <glib.h>

#include "host/live/glib_source.hpp"
#include "platform/foundation/write_all.hpp"

namespace velto::host::live {

/// Lines to a reader that may stop reading (a status bar's pipe), written
/// without ever blocking the main loop. A line the descriptor did not take at
/// once is finished when it becomes writable, so the stream stays whole; of the
/// lines that come meanwhile only the newest waits, as each one replaces the
/// last. The descriptor is non-blocking while this object lives.
class LatestLineOutput {
 public:
  /// Called once with the errno of the first failed write; nothing is written after.
  using Failed = std::function<void(int error)>;

  LatestLineOutput(GMainContext* context, int fd, Failed failed);
  ~LatestLineOutput();
  LatestLineOutput(const LatestLineOutput&) = delete;
  LatestLineOutput& operator=(const LatestLineOutput&) = delete;

  /// Writes `line` now if the reader keeps up, else keeps it as the newest.
  void write(std::string line);

  /// Whether a write has failed.
  bool failed() const { return error_.has_value(); }

  /// Bytes held back, for tests: the rest of the line under way and the newest.
  std::size_t heldBytes() const;

 private:
  void flush();
  static gboolean writable(gint fd, GIOCondition condition, gpointer self);

  GMainContext* context_;
  int fd_;
  int originalFlags_;
  Failed failed_;
  platform::foundation::PendingWrite current_;
  std::optional<std::string> newest_;
  std::optional<int> error_;
  AttachedSource writableWatch_;
};

}  // namespace velto::host::live
