#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "host/layout/geometry.hpp"
#include "host/layout/layout_tree.hpp"
#include "host/layout/stack_distribution.hpp"
#include "host/layout/text_fitting.hpp"
#include "host/layout/text_measurer.hpp"

namespace velto::host::layout::internal {

/// What a parent offers a child; an empty length asks for the child's ideal.
struct Proposal {
  std::optional<double> width;
  std::optional<double> height;

  std::optional<double> along(Axis axis) const { return axis == Axis::horizontal ? width : height; }
  std::optional<double> across(Axis axis) const {
    return axis == Axis::horizontal ? height : width;
  }
  static Proposal of(Axis axis, std::optional<double> along, std::optional<double> across) {
    return axis == Axis::horizontal ? Proposal{along, across} : Proposal{across, along};
  }
  friend bool operator==(const Proposal&, const Proposal&) = default;
};

/// Stage 2 of the layout: sizes every node for what its parent proposes, then
/// places it and its children. Sizes are memoised per (node, proposal).
class LayoutEngine {
 public:
  LayoutEngine(const LayoutTree& tree, const TextMeasurer& measurer);

  /// Whether the tree needed more work than a widget ever should.
  bool exhausted() const;
  LayoutResults& results() { return results_; }

  Size sizeThatFits(NodeId id, Proposal proposal);

  /// Gives `id` its size for `proposal` with its top-left corner at `origin`,
  /// then places its children inside.
  void place(NodeId id, Point origin, Proposal proposal);

 private:
  Size computeSize(NodeId id, Proposal proposal);
  StackDistribution distribute(const LayoutNode& node, const StackNode& stack, Proposal proposal);
  void placeStack(const LayoutNode& node, const StackNode& stack, const Rect& frame,
                  Proposal proposal);
  TextFit fit(const TextNode& node, std::optional<double> width);

  const LayoutTree& tree_;
  MeasureCache cache_;
  LayoutResults results_;
  std::vector<std::vector<std::pair<Proposal, Size>>> memo_;
  std::size_t evaluations_ = 0;
};

/// Where a box of `inner` size sits in `outer` by `alignment`.
Point aligned(const Rect& outer, Size inner, platform::ui::Alignment alignment);

}  // namespace velto::host::layout::internal
