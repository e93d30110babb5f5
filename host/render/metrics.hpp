#pragma once

// The widget's outer measures in points, the same for every backend.

#include "host/layout/geometry.hpp"
#include "host/layout/layout.hpp"
#include "platform/foundation/date.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::render {

/// The largest scale an image is drawn at; beyond it a widget is thousands of
/// pixels a side.
inline constexpr double kMaxScale = 16.0;

/// Space between the widget's edge and its content, on every side.
inline constexpr double kContentMargin = 14.0;
/// Radius of the widget's rounded corners; the container background is clipped to it.
inline constexpr double kWidgetCornerRadius = 20.0;

/// The widget's size in points: small 170 × 170, medium 364 × 170, large
/// 382 × 382, extra large 796 × 382; the accessory families 76 × 76 (circular),
/// 172 × 76 (rectangular) and 257 × 26 (inline).
layout::Size widgetSize(platform::widgets::WidgetFamily family);

/// The canvas a widget of `family` is laid out on, drawn as of `instant`.
layout::WidgetCanvas widgetCanvas(platform::widgets::WidgetFamily family,
                                  platform::foundation::Date instant);

}  // namespace velto::host::render
