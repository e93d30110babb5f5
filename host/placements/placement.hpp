#pragma once

// One widget window the desktop shows: its size, where it sits and how it looks.

#include <optional>
#include <string>
#include <string_view>

#include "host/placements/corner.hpp"
#include "host/render/appearance.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::placements {

inline constexpr int kDefaultMargin = 24;
inline constexpr int kMaxMargin = 10'000;

struct Placement {
  /// The NAME of its `[widget NAME]` group; "" for the default or command-line one.
  std::string name{};
  platform::widgets::WidgetFamily family = platform::widgets::WidgetFamily::systemSmall;
  Corner corner = Corner::topRight;
  /// Logical pixels from the corner's two edges, 0 to kMaxMargin.
  int margin = kDefaultMargin;
  /// A monitor's name; kEveryOutput for one on every monitor; none for the primary one.
  std::optional<std::string> output = std::nullopt;
  /// None follows the desktop's light or dark look.
  std::optional<render::Appearance> appearance = std::nullopt;
  friend bool operator==(const Placement&, const Placement&) = default;
};

/// The `output` that asks for one widget on every monitor.
inline constexpr std::string_view kEveryOutput = "*";

/// "light" or "dark"; nothing otherwise.
std::optional<render::Appearance> parseAppearance(std::string_view text);

/// The name parseAppearance reads back as `appearance`.
std::string_view appearanceName(render::Appearance appearance);

/// Why `name` cannot name a placement, or nothing when it can: it must hold
/// something besides spaces, and no '@' (which the per-monitor copies of a `*`
/// placement use), brackets or control characters.
std::optional<std::string> placementNameProblem(std::string_view name);

}  // namespace velto::host::placements
