#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform::widgets {

/// The host's size class for one rendering of a widget.
enum class WidgetFamily : std::uint8_t {
  systemSmall,
  systemMedium,
  systemLarge,
  systemExtraLarge,
  accessoryCircular,
  accessoryRectangular,
  accessoryInline,
};

inline constexpr std::array kAllWidgetFamilies{
    WidgetFamily::systemSmall,       WidgetFamily::systemMedium,
    WidgetFamily::systemLarge,       WidgetFamily::systemExtraLarge,
    WidgetFamily::accessoryCircular, WidgetFamily::accessoryRectangular,
    WidgetFamily::accessoryInline,
};

/// The family's name as it travels between host and extension ("systemSmall", …).
constexpr std::string_view rawValue(WidgetFamily family) {
  switch (family) {
    case WidgetFamily::systemSmall:
      return "systemSmall";
    case WidgetFamily::systemMedium:
      return "systemMedium";
    case WidgetFamily::systemLarge:
      return "systemLarge";
    case WidgetFamily::systemExtraLarge:
      return "systemExtraLarge";
    case WidgetFamily::accessoryCircular:
      return "accessoryCircular";
    case WidgetFamily::accessoryRectangular:
      return "accessoryRectangular";
    case WidgetFamily::accessoryInline:
      return "accessoryInline";
  }
  return "";
}

/// The family named exactly `name`, or nothing.
constexpr std::optional<WidgetFamily> widgetFamilyFromRawValue(std::string_view name) {
  for (WidgetFamily family : kAllWidgetFamilies) {
    if (rawValue(family) == name) {
      return family;
    }
  }
  return std::nullopt;
}

/// The short name a family goes by on the command line and in file names
/// ("small", "extraLarge", "inline").
constexpr std::string_view familyName(WidgetFamily family) {
  switch (family) {
    case WidgetFamily::systemSmall:
      return "small";
    case WidgetFamily::systemMedium:
      return "medium";
    case WidgetFamily::systemLarge:
      return "large";
    case WidgetFamily::systemExtraLarge:
      return "extraLarge";
    case WidgetFamily::accessoryCircular:
      return "circular";
    case WidgetFamily::accessoryRectangular:
      return "rectangular";
    case WidgetFamily::accessoryInline:
      return "inline";
  }
  return "";
}

/// The family whose short name is exactly `name`, or nothing.
constexpr std::optional<WidgetFamily> familyFromName(std::string_view name) {
  for (WidgetFamily family : kAllWidgetFamilies) {
    if (familyName(family) == name) {
      return family;
    }
  }
  return std::nullopt;
}

}  // namespace platform::widgets
