#include "host/backends/gtk/window_geometry.hpp"

#include <algorithm>
#include <cstdint>

namespace velto::host::gtk {

namespace {

/// The start of a `length` window along an area's axis, `margin` in from its
/// start or its end.
int place(bool fromEnd, int margin, int areaStart, int areaLength, int length) {
  const int room = std::max(0, areaLength - length);
  const int inset = std::clamp(margin, 0, room);
  return fromEnd ? areaStart + room - inset : areaStart + inset;
}

}  // namespace

ScreenPoint anchoredOrigin(Corner corner, int margin, const ScreenRect& workArea, int width,
                           int height) {
  const bool right = corner == Corner::topRight || corner == Corner::bottomRight;
  const bool bottom = corner == Corner::bottomRight || corner == Corner::bottomLeft;
  return {place(right, margin, workArea.x, workArea.width, width),
          place(bottom, margin, workArea.y, workArea.height, height)};
}

LayerAnchors layerAnchors(Corner corner) {
  switch (corner) {
    case Corner::topRight:
      return {.top = true, .right = true};
    case Corner::topLeft:
      return {.top = true, .left = true};
    case Corner::bottomRight:
      return {.bottom = true, .right = true};
    case Corner::bottomLeft:
      return {.bottom = true, .left = true};
  }
  return {.top = true, .right = true};
}

std::optional<ScreenPoint> visibleOrigin(ScreenPoint saved, int width, int height,
                                         std::span<const ScreenRect> monitors, int minVisible) {
  // 64-bit sums: a hostile saved position near INT_MAX must not overflow.
  const auto overlap = [](std::int64_t start, std::int64_t length, std::int64_t areaStart,
                          std::int64_t areaLength) {
    return std::min(start + length, areaStart + areaLength) - std::max(start, areaStart);
  };
  const std::int64_t wantX = std::min(minVisible, width);
  const std::int64_t wantY = std::min(minVisible, height);
  for (const auto& monitor : monitors) {
    if (overlap(saved.x, width, monitor.x, monitor.width) >= wantX
        && overlap(saved.y, height, monitor.y, monitor.height) >= wantY) {
      return saved;
    }
  }
  return std::nullopt;
}

}  // namespace velto::host::gtk
