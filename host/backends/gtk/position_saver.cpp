#include "host/backends/gtk/position_saver.hpp"

#include <chrono>
#include <utility>

#include "host/backends/gtk/position_store.hpp"

namespace velto::host::gtk {
namespace {

/// How long after the last move of a dragged window its position is written.
constexpr std::chrono::milliseconds kSaveAfter{400};

}  // namespace

PositionSaver::PositionSaver(std::optional<std::filesystem::path> file, Log log)
    : file_(std::move(file)), log_(std::move(log)) {}

void PositionSaver::load() {
  if (file_) {
    saved_ = loadPosition(*file_);
  }
}

void PositionSaver::windowMoved(GtkWindow* window) {
  if (!file_) {
    return;
  }
  timer_.start(kSaveAfter, [this, window] {
    int x = 0;
    int y = 0;
    gtk_window_get_position(window, &x, &y);
    saved_ = ScreenPoint{x, y};
    if (const auto failure = savePosition(*file_, *saved_)) {
      log_(*failure);
    }
  });
}

}  // namespace velto::host::gtk
