#pragma once

#include <string>
#include <vector>

#include "platform/ui/view.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::live {

/// Every URL that a `Link` of `view` carries, in the order they appear.
std::vector<std::string> linkDestinations(const platform::ui::View& view);

/// One widget's tree on display.
struct Scene {
  /// `view` shown for `family`, its links read from it once.
  Scene(platform::widgets::WidgetFamily family, platform::ui::View view, bool redacted = false);

  platform::widgets::WidgetFamily family = platform::widgets::WidgetFamily::systemSmall;
  /// The entry's view tree, container background included.
  platform::ui::View view;
  /// The placeholder while the extension has never answered: texts shown as blocks.
  bool redacted = false;
  /// The URLs a person may open from this scene, in the order their buttons
  /// appear; none while redacted, for the placeholder's buttons lead nowhere.
  std::vector<std::string> links;
};

}  // namespace velto::host::live
