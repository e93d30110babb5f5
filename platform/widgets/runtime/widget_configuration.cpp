#include "platform/widgets/runtime/widget_configuration.hpp"

#include <algorithm>

namespace platform::widgets {

bool WidgetConfiguration::supports(WidgetFamily family) const {
  return std::ranges::find(gallery_.supportedFamilies, family) != gallery_.supportedFamilies.end();
}

}  // namespace platform::widgets
