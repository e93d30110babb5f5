#include "host/backends/gtk/pointer_input.hpp"

#include <utility>

#include "host/backends/gtk/hit_test.hpp"

namespace velto::host::gtk {

PointerInput::PointerInput(GtkWidget* canvas, GtkWindow* window, bool canDrag,
                           std::function<void(const std::string& url)> open)
    : canvas_(canvas), window_(window), canDrag_(canDrag), open_(std::move(open)) {}

void PointerInput::setLinks(std::vector<layout::LinkRegion> links) {
  links_ = std::move(links);
}

std::optional<layout::Rect> PointerInput::pressedBox() const {
  if (pressed_ && *pressed_ < links_.size()) {
    return links_[*pressed_].rect;
  }
  return std::nullopt;
}

bool PointerInput::press(const GdkEventButton& event) {
  if (event.type != GDK_BUTTON_PRESS || event.button != GDK_BUTTON_PRIMARY) {
    return false;
  }
  pressed_ = linkAt(links_, {event.x, event.y});
  if (pressed_) {
    redrawLink(pressed_);
  } else if (canDrag_) {
    dragging_ = true;
    gtk_window_begin_move_drag(window_, static_cast<gint>(event.button),
                               static_cast<gint>(event.x_root), static_cast<gint>(event.y_root),
                               event.time);
  }
  return true;
}

bool PointerInput::release(const GdkEventButton& event) {
  if (event.button != GDK_BUTTON_PRIMARY) {
    return false;
  }
  const auto pressed = std::exchange(pressed_, std::nullopt);
  redrawLink(pressed);
  if (pressed && linkAt(links_, {event.x, event.y}) == pressed) {
    // A copy: opening may show a new scene and replace the regions.
    const std::string url = links_[*pressed].url;
    open_(url);
  }
  return true;
}

void PointerInput::motion(const GdkEventMotion& event) {
  const auto over = linkAt(links_, {event.x, event.y});
  if (over.has_value() != hovered_.has_value()) {
    GdkWindow* window = gtk_widget_get_window(canvas_);
    GdkCursor* cursor =
        over ? gdk_cursor_new_from_name(gdk_window_get_display(window), "pointer") : nullptr;
    gdk_window_set_cursor(window, cursor);
    if (cursor != nullptr) {
      g_object_unref(cursor);
    }
  }
  hovered_ = over;
}

void PointerInput::leave() {
  if (hovered_) {
    gdk_window_set_cursor(gtk_widget_get_window(canvas_), nullptr);
    hovered_.reset();
  }
}

void PointerInput::redrawLink(std::optional<std::size_t> link) {
  if (link && *link < links_.size()) {
    const auto box = coveringBox(links_[*link].rect);
    gtk_widget_queue_draw_area(canvas_, box.x, box.y, box.width, box.height);
  }
}

}  // namespace velto::host::gtk
