#include "host/app/terminal_appearance.hpp"

namespace velto::host {

render::Appearance terminalAppearance(std::optional<render::Appearance> asked,
                                      std::optional<bool> desktopPrefersDark,
                                      std::optional<render::Appearance> terminalBackground) {
  if (asked) {
    return *asked;
  }
  if (desktopPrefersDark) {
    return *desktopPrefersDark ? render::Appearance::dark : render::Appearance::light;
  }
  return terminalBackground.value_or(render::Appearance::dark);
}

}  // namespace velto::host
