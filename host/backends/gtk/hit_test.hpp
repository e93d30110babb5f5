#pragma once

// Which link a pointer is over. The layout's link regions are in points; the
// window reports pointer positions in its own units, `pointsPerUnit` apart.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/layout/draw_command.hpp"
#include "host/layout/geometry.hpp"

namespace velto::host::gtk {

/// The boxes of a draw list's links that `offered` (the scene's links) holds,
/// in painting order: a link the scene does not offer is no button.
std::vector<layout::LinkRegion> linkRegions(const layout::DrawList& list,
                                            std::span<const std::string> offered);

/// The index of the region that a press at `position` opens: the topmost one
/// (last painted) whose box holds the point, edges included. Nothing for a point
/// outside every region, or for a scale or point that is not a finite number.
std::optional<std::size_t> linkAt(std::span<const layout::LinkRegion> regions,
                                  layout::Point position, double pointsPerUnit = 1.0);

/// The smallest box, in whole window units, that covers `rect` given in points:
/// what to invalidate so that every pixel it touches is drawn again.
struct PixelBox {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend constexpr bool operator==(const PixelBox&, const PixelBox&) = default;
};
PixelBox coveringBox(const layout::Rect& rect, double unitsPerPoint = 1.0);

}  // namespace velto::host::gtk
