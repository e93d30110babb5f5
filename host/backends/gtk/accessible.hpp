#pragma once

// The widget's texts and buttons as ATK objects, children of the drawing area
// that paints them, so screen readers can read the widget and press its buttons.

#include <functional>
#include <string>
#include <vector>

#include <atk/atk.h>
#include <gtk/gtk.h>

#include "host/backends/gtk/accessible_tree.hpp"
#include "platform/gobject/object_ref.hpp"

namespace velto::host::gtk {

/// Called when an assistive technology presses a button, with its URL.
using PressLink = std::function<void(const std::string& url)>;

/// A drawing area whose accessible object lists the nodes of an
/// AccessibleChildren as its children. Returns a floating reference.
GtkWidget* newAccessibleCanvas();

/// One ATK object for a node; a button offers one action, "click", described
/// as the node is, that calls `press` with its URL from the main loop.
/// `canvas` (not owned) places it on screen.
AtkObject* newAccessibleNode(const AccessibleNode& node, GtkWidget* canvas, PressLink press);

/// Updates an object made by newAccessibleNode to `node`: a changed name or
/// description is announced to assistive technologies.
void updateAccessibleNode(AtkObject* object, const AccessibleNode& node);

/// The accessible children of a canvas made by newAccessibleCanvas.
class AccessibleChildren {
 public:
  AccessibleChildren(GtkWidget* canvas, PressLink press);
  AccessibleChildren(const AccessibleChildren&) = delete;
  AccessibleChildren& operator=(const AccessibleChildren&) = delete;
  ~AccessibleChildren();

  /// Shows `nodes`: the same shape (roles and URLs) only renames, another
  /// replaces the children and says so. The canvas's description becomes
  /// the widget's summary, announced when it changes.
  void update(const std::vector<AccessibleNode>& nodes);

  /// The nodes on display changed; `source` makes them. Until an assistive
  /// technology has asked for the canvas's children or description, nothing
  /// is made or announced: the widget ticks every second, and no one would hear.
  void changed(std::function<std::vector<AccessibleNode>()> source);
  /// Brings the children up to date if they are behind; called when asked.
  void asked();
  /// Whether an assistive technology has asked for the children.
  bool read() const { return read_; }

  std::size_t size() const { return objects_.size(); }
  AtkObject* at(std::size_t index) const { return objects_[index].get(); }

 private:
  void describeCanvas(const std::vector<AccessibleNode>& nodes);

  GtkWidget* canvas_;
  PressLink press_;
  std::function<std::vector<AccessibleNode>()> source_;
  bool stale_ = false;
  bool read_ = false;
  std::string summary_;
  std::vector<AccessibleNode> nodes_;
  std::vector<platform::gobject::ObjectRef<AtkObject>> objects_;
};

}  // namespace velto::host::gtk
