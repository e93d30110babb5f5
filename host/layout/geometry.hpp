#pragma once

namespace velto::host::layout {

/// A point in the widget's space, in points, y growing downwards.
struct Point {
  double x = 0.0;
  double y = 0.0;
  friend constexpr bool operator==(const Point&, const Point&) = default;
};

/// A width and height in points.
struct Size {
  double width = 0.0;
  double height = 0.0;
  friend constexpr bool operator==(const Size&, const Size&) = default;
};

/// An axis-aligned box: its top-left corner and its size.
struct Rect {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;

  constexpr double maxX() const { return x + width; }
  constexpr double maxY() const { return y + height; }
  constexpr Point center() const { return {x + width / 2, y + height / 2}; }
  constexpr Size size() const { return {width, height}; }

  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace velto::host::layout
