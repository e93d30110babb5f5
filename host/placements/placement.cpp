#include "host/placements/placement.hpp"

#include "platform/foundation/utf8.hpp"

namespace velto::host::placements {

std::optional<render::Appearance> parseAppearance(std::string_view text) {
  if (text == "light") {
    return render::Appearance::light;
  }
  if (text == "dark") {
    return render::Appearance::dark;
  }
  return std::nullopt;
}

std::string_view appearanceName(render::Appearance appearance) {
  switch (appearance) {
    case render::Appearance::light:
      return "light";
    case render::Appearance::dark:
      return "dark";
  }
  return "";
}

std::optional<std::string> placementNameProblem(std::string_view name) {
  constexpr std::string_view kBlank = " \t";
  if (name.find_first_not_of(kBlank) == std::string_view::npos) {
    return "a widget needs a name: [widget NAME]";
  }
  if (kBlank.find(name.front()) != std::string_view::npos
      || kBlank.find(name.back()) != std::string_view::npos) {
    return "a widget's name cannot begin or end with a space";
  }
  if (!platform::foundation::isValidUtf8(name)) {
    return "a widget's name must be UTF-8 text";
  }
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      return "a widget's name cannot hold a control character";
    }
    if (c == '@' || c == '[' || c == ']') {
      return std::string("a widget's name cannot hold '") + c + "'";
    }
  }
  return std::nullopt;
}

}  // namespace velto::host::placements
