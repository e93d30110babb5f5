#include "host/backends/gtk/hit_test.hpp"

#include <algorithm>
#include <cmath>
#include <variant>

namespace velto::host::gtk {

std::vector<layout::LinkRegion> linkRegions(const layout::DrawList& list,
                                            std::span<const std::string> offered) {
  std::vector<layout::LinkRegion> regions;
  for (const auto& command : list.commands) {
    const auto* link = std::get_if<layout::LinkRegion>(&command);
    if (link != nullptr && std::find(offered.begin(), offered.end(), link->url) != offered.end()) {
      regions.push_back(*link);
    }
  }
  return regions;
}

std::optional<std::size_t> linkAt(std::span<const layout::LinkRegion> regions,
                                  layout::Point position, double pointsPerUnit) {
  if (!std::isfinite(pointsPerUnit) || pointsPerUnit <= 0 || !std::isfinite(position.x)
      || !std::isfinite(position.y)) {
    return std::nullopt;
  }
  const double x = position.x * pointsPerUnit;
  const double y = position.y * pointsPerUnit;
  for (std::size_t i = regions.size(); i-- > 0;) {
    const auto& box = regions[i].rect;
    if (x >= box.x && x <= box.maxX() && y >= box.y && y <= box.maxY()) {
      return i;
    }
  }
  return std::nullopt;
}

PixelBox coveringBox(const layout::Rect& rect, double unitsPerPoint) {
  // Clamped so that an absurd box invalidates a huge area, never overflows.
  constexpr double kLimit = 1 << 24;
  const auto clamp = [&](double value) {
    if (!std::isfinite(value)) {
      return value > 0 ? kLimit : 0.0;
    }
    return std::clamp(value, -kLimit, kLimit);
  };
  const double scale = std::isfinite(unitsPerPoint) && unitsPerPoint > 0 ? unitsPerPoint : 1.0;
  const double left = std::floor(clamp(rect.x * scale));
  const double top = std::floor(clamp(rect.y * scale));
  const double right = std::ceil(clamp(rect.maxX() * scale));
  const double bottom = std::ceil(clamp(rect.maxY() * scale));
  return {static_cast<int>(left), static_cast<int>(top),
          static_cast<int>(std::max(0.0, right - left)),
          static_cast<int>(std::max(0.0, bottom - top))};
}

}  // namespace velto::host::gtk
