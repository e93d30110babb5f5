#include "host/render/metrics.hpp"

namespace velto::host::render {

using platform::widgets::WidgetFamily;

layout::Size widgetSize(WidgetFamily family) {
  switch (family) {
    case WidgetFamily::systemSmall:
      return {170, 170};
    case WidgetFamily::systemMedium:
      return {364, 170};
    case WidgetFamily::systemLarge:
      return {382, 382};
    case WidgetFamily::systemExtraLarge:
      return {796, 382};
    case WidgetFamily::accessoryCircular:
      return {76, 76};
    case WidgetFamily::accessoryRectangular:
      return {172, 76};
    case WidgetFamily::accessoryInline:
      return {257, 26};
  }
  return {170, 170};
}

layout::WidgetCanvas widgetCanvas(WidgetFamily family, platform::foundation::Date instant) {
  return layout::WidgetCanvas{widgetSize(family), kContentMargin, kWidgetCornerRadius, instant};
}

}  // namespace velto::host::render
