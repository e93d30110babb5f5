#pragma once

// Where the widget's window goes: the corner it is anchored to, its margin from
// the monitor's work area (the part panels leave free), and keeping a saved
// position on screen.

#include <optional>
#include <span>

#include "host/placements/corner.hpp"

namespace velto::host::gtk {

using placements::Corner;
using placements::parseCorner;

/// A box in the desktop's logical pixels.
struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend constexpr bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
  friend constexpr bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

/// The window's top-left corner for a `width` × `height` window anchored to
/// `corner` of `workArea`, `margin` pixels in from both of its edges. A margin
/// that would push the window out of the work area is shrunk; a work area too
/// small for the window keeps the window's top-left (or anchored) edge inside.
ScreenPoint anchoredOrigin(Corner corner, int margin, const ScreenRect& workArea, int width,
                           int height);

/// Which edges a layer surface is anchored to for `corner`.
struct LayerAnchors {
  bool top = false;
  bool bottom = false;
  bool left = false;
  bool right = false;
  friend constexpr bool operator==(const LayerAnchors&, const LayerAnchors&) = default;
};
LayerAnchors layerAnchors(Corner corner);

/// A saved origin for a `width` × `height` window, kept only when the window
/// then overlaps some monitor's area by at least `minVisible` pixels each way
/// (a monitor that went away must not strand the widget off screen).
std::optional<ScreenPoint> visibleOrigin(ScreenPoint saved, int width, int height,
                                         std::span<const ScreenRect> monitors, int minVisible = 32);

}  // namespace velto::host::gtk
