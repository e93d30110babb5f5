#include "host/placements/corner.hpp"

#include <array>

namespace velto::host::placements {

namespace {

constexpr std::array kCorners{Corner::topRight, Corner::topLeft, Corner::bottomRight,
                              Corner::bottomLeft};

}  // namespace

std::optional<Corner> parseCorner(std::string_view text) {
  for (const Corner corner : kCorners) {
    if (cornerName(corner) == text) {
      return corner;
    }
  }
  return std::nullopt;
}

std::string_view cornerName(Corner corner) {
  switch (corner) {
    case Corner::topRight:
      return "top-right";
    case Corner::topLeft:
      return "top-left";
    case Corner::bottomRight:
      return "bottom-right";
    case Corner::bottomLeft:
      return "bottom-left";
  }
  return "";
}

}  // namespace velto::host::placements
