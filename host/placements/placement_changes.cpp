#include "host/placements/placement_changes.hpp"

#include <string_view>
#include <unordered_map>

namespace velto::host::placements {

namespace {

std::unordered_map<std::string_view, const Placement*> byName(std::span<const Placement> list) {
  std::unordered_map<std::string_view, const Placement*> names;
  names.reserve(list.size());
  for (const auto& placement : list) {
    names.emplace(placement.name, &placement);
  }
  return names;
}

}  // namespace

bool PlacementChanges::empty() const {
  return added.empty() && moved.empty() && removed.empty();
}

PlacementChanges placementChanges(std::span<const Placement> before,
                                  std::span<const Placement> after) {
  const auto old = byName(before);
  const auto current = byName(after);
  PlacementChanges changes;
  for (const auto& placement : after) {
    const auto found = old.find(placement.name);
    if (found == old.end()) {
      changes.added.push_back(placement);
    } else if (*found->second != placement) {
      changes.moved.push_back(placement);
    }
  }
  for (const auto& placement : before) {
    if (!current.contains(placement.name)) {
      changes.removed.push_back(placement.name);
    }
  }
  return changes;
}

std::vector<Placement> placementsOnMonitors(std::span<const Placement> placements,
                                            std::span<const std::string> monitors) {
  std::vector<Placement> windows;
  for (const auto& placement : placements) {
    if (placement.output != kEveryOutput) {
      windows.push_back(placement);
      continue;
    }
    for (const auto& monitor : monitors) {
      Placement onMonitor = placement;
      onMonitor.name = placement.name + "@" + monitor;
      onMonitor.output = monitor;
      windows.push_back(std::move(onMonitor));
    }
  }
  return windows;
}

}  // namespace velto::host::placements
