#pragma once

// The pointer over the widget: a pointing hand over a button, a button that
// opens its link when released over itself, and (on X11) a drag of the whole
// window from anywhere else.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "host/layout/draw_command.hpp"

namespace velto::host::gtk {

class PointerInput {
 public:
  /// Follows the pointer over `canvas`, the only child of `window`; a click on
  /// a button calls `open` with its URL. Only a window that `canDrag` is dragged.
  PointerInput(GtkWidget* canvas, GtkWindow* window, bool canDrag,
               std::function<void(const std::string& url)> open);

  /// The buttons shown now, in painting order.
  void setLinks(std::vector<layout::LinkRegion> links);
  const std::vector<layout::LinkRegion>& links() const { return links_; }

  /// The box of the button held down, to veil it.
  std::optional<layout::Rect> pressedBox() const;
  /// Forgets the button held down (a new scene replaced it).
  void forgetPress() { pressed_.reset(); }
  /// Whether the user has dragged the window.
  bool dragging() const { return dragging_; }

  bool press(const GdkEventButton& event);
  bool release(const GdkEventButton& event);
  void motion(const GdkEventMotion& event);
  void leave();

 private:
  void redrawLink(std::optional<std::size_t> link);

  GtkWidget* canvas_;
  GtkWindow* window_;
  bool canDrag_;
  std::function<void(const std::string& url)> open_;
  std::vector<layout::LinkRegion> links_;
  std::optional<std::size_t> hovered_;
  std::optional<std::size_t> pressed_;
  bool dragging_ = false;
};

}  // namespace velto::host::gtk
