#pragma once

#include <vector>

#include "host/layout/draw_command.hpp"
#include "host/layout/geometry.hpp"
#include "host/layout/internal/emission.hpp"
#include "host/layout/layout.hpp"
#include "host/layout/layout_tree.hpp"
#include "host/layout/text_measurer.hpp"
#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/ui/view.hpp"

namespace velto::host::layout {

/// One entry's tree laid out once for a canvas and a measurer, kept with its
/// results and draw list so that a tick re-makes only the live timer texts.
class LaidOutWidget {
 public:
  /// Lays `view` out on `canvas` (timer texts as of `canvas.instant`).
  static platform::foundation::Expected<LaidOutWidget, LayoutError> make(
      const platform::ui::View& view, const WidgetCanvas& canvas, const TextMeasurer& measurer);

  /// The commands that paint the widget as of instant().
  const DrawList& drawList() const { return list_; }

  /// The instant the timer texts show.
  platform::foundation::Date instant() const { return canvas_.instant; }

  /// Counts the layouts made; it moves when advanceTimers() had to lay the
  /// widget out anew, so that what was kept of the old layout goes.
  unsigned layoutCount() const { return layoutCount_; }

  /// Whether some text counts up by itself, so the widget changes every second.
  bool hasLiveTimer() const { return hasLiveTimer_; }

  /// Where a tap opens which URL, in painting order.
  std::vector<LinkRegion> links() const;

  /// Moves the timer texts to `instant`, re-measuring only them with `measurer`
  /// (the one the widget was laid out with), and returns the boxes whose pixels
  /// change: none when every timer shows the same text, each changed text's box
  /// when it keeps its size, and the whole widget when one changes its size and
  /// the widget had to be laid out anew.
  std::vector<Rect> advanceTimers(platform::foundation::Date instant, const TextMeasurer& measurer);

 private:
  LaidOutWidget(LayoutTree tree, WidgetCanvas canvas) : tree_(std::move(tree)), canvas_(canvas) {}

  /// Lays the tree out afresh; false (keeping the old layout) when it cannot.
  bool relayout(const TextMeasurer& measurer);
  TextNode& timerText(NodeId id);

  LayoutTree tree_;
  WidgetCanvas canvas_;
  LayoutResults results_;
  DrawList list_;
  std::vector<internal::TextCommandRef> texts_;
  std::vector<NodeId> timers_;
  bool hasLiveTimer_ = false;
  unsigned layoutCount_ = 1;
};

}  // namespace velto::host::layout
