#pragma once

// Keeps a dragged window's position in its file, written once the window has
// come to rest rather than on every step of the drag.

#include <filesystem>
#include <optional>

#include <gtk/gtk.h>

#include "host/backends/gtk/desktop_options.hpp"
#include "host/backends/gtk/window_geometry.hpp"
#include "host/live/timeout.hpp"

namespace velto::host::gtk {

class PositionSaver {
 public:
  /// Saves to `file` (none: keeps nothing) and logs a failed write.
  PositionSaver(std::optional<std::filesystem::path> file, Log log);
  PositionSaver(const PositionSaver&) = delete;
  PositionSaver& operator=(const PositionSaver&) = delete;

  /// Reads the position kept from an earlier run, if any.
  void load();
  /// The position last loaded or saved.
  const std::optional<ScreenPoint>& saved() const { return saved_; }
  /// `window` moved: its position is written once it has kept still a while.
  void windowMoved(GtkWindow* window);
  /// Drops a pending write (before `window` goes away).
  void cancel() { timer_.cancel(); }

 private:
  std::optional<std::filesystem::path> file_;
  Log log_;
  std::optional<ScreenPoint> saved_;
  live::Timeout timer_{nullptr};
};

}  // namespace velto::host::gtk
