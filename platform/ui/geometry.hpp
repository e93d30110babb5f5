#pragma once

#include <cstdint>

namespace platform::ui {

/// Where children sit across the width of a vertical stack.
enum class HorizontalAlignment : std::uint8_t { leading, center, trailing };

/// Where children sit across the height of a horizontal stack.
enum class VerticalAlignment : std::uint8_t { top, center, bottom };

/// A place in a box: one alignment on each axis. Leading and trailing follow the
/// layout direction (left and right in left-to-right layouts).
struct Alignment {
  HorizontalAlignment horizontal = HorizontalAlignment::center;
  VerticalAlignment vertical = VerticalAlignment::center;

  static const Alignment center;
  static const Alignment leading;
  static const Alignment trailing;
  static const Alignment top;
  static const Alignment bottom;
  static const Alignment topLeading;
  static const Alignment topTrailing;
  static const Alignment bottomLeading;
  static const Alignment bottomTrailing;

  friend constexpr bool operator==(const Alignment&, const Alignment&) = default;
};

inline constexpr Alignment Alignment::center{HorizontalAlignment::center,
                                             VerticalAlignment::center};
inline constexpr Alignment Alignment::leading{HorizontalAlignment::leading,
                                              VerticalAlignment::center};
inline constexpr Alignment Alignment::trailing{HorizontalAlignment::trailing,
                                               VerticalAlignment::center};
inline constexpr Alignment Alignment::top{HorizontalAlignment::center, VerticalAlignment::top};
inline constexpr Alignment Alignment::bottom{HorizontalAlignment::center,
                                             VerticalAlignment::bottom};
inline constexpr Alignment Alignment::topLeading{HorizontalAlignment::leading,
                                                 VerticalAlignment::top};
inline constexpr Alignment Alignment::topTrailing{HorizontalAlignment::trailing,
                                                  VerticalAlignment::top};
inline constexpr Alignment Alignment::bottomLeading{HorizontalAlignment::leading,
                                                    VerticalAlignment::bottom};
inline constexpr Alignment Alignment::bottomTrailing{HorizontalAlignment::trailing,
                                                     VerticalAlignment::bottom};

/// A point in a box's own unit square: x from leading (0) to trailing (1), y from
/// top (0) to bottom (1). Values outside 0…1 lie outside the box.
struct UnitPoint {
  double x = 0.0;
  double y = 0.0;

  static const UnitPoint zero;
  static const UnitPoint center;
  static const UnitPoint leading;
  static const UnitPoint trailing;
  static const UnitPoint top;
  static const UnitPoint bottom;
  static const UnitPoint topLeading;
  static const UnitPoint topTrailing;
  static const UnitPoint bottomLeading;
  static const UnitPoint bottomTrailing;

  friend constexpr bool operator==(const UnitPoint&, const UnitPoint&) = default;
};

inline constexpr UnitPoint UnitPoint::zero{0.0, 0.0};
inline constexpr UnitPoint UnitPoint::center{0.5, 0.5};
inline constexpr UnitPoint UnitPoint::leading{0.0, 0.5};
inline constexpr UnitPoint UnitPoint::trailing{1.0, 0.5};
inline constexpr UnitPoint UnitPoint::top{0.5, 0.0};
inline constexpr UnitPoint UnitPoint::bottom{0.5, 1.0};
inline constexpr UnitPoint UnitPoint::topLeading{0.0, 0.0};
inline constexpr UnitPoint UnitPoint::topTrailing{1.0, 0.0};
inline constexpr UnitPoint UnitPoint::bottomLeading{0.0, 1.0};
inline constexpr UnitPoint UnitPoint::bottomTrailing{1.0, 1.0};

}  // namespace platform::ui
