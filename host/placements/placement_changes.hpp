#pragma once

// What the desktop must do when the placements change: which windows to open,
// move or close, and which windows the placements become on the monitors present.

#include <span>
#include <string>
#include <vector>

#include "host/placements/placement.hpp"

namespace velto::host::placements {

struct PlacementChanges {
  std::vector<Placement> added{};
  /// Same name, other values: the new values.
  std::vector<Placement> moved{};
  /// Names.
  std::vector<std::string> removed{};

  bool empty() const;
  friend bool operator==(const PlacementChanges&, const PlacementChanges&) = default;
};

/// The changes from `before` to `after`, matched by name (a renamed placement
/// is removed and added); added and moved in the order of `after`, removed in
/// the order of `before`. Names are unique within each list.
PlacementChanges placementChanges(std::span<const Placement> before,
                                  std::span<const Placement> after);

/// One window to show: a placement on one monitor. `*` placements become one
/// per monitor, named "NAME@MONITOR" with `output` set to that monitor (none
/// without monitors); others pass through unchanged.
std::vector<Placement> placementsOnMonitors(std::span<const Placement> placements,
                                            std::span<const std::string> monitors);

}  // namespace velto::host::placements
