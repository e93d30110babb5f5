#include "host/placements/internal/widget_group.hpp"

namespace velto::host::placements::internal {

namespace {

constexpr std::string_view kWidget = "widget";
constexpr std::string_view kBlank = " \t";

}  // namespace

std::optional<std::string_view> widgetGroupName(std::string_view group) {
  if (!group.starts_with(kWidget)) {
    return std::nullopt;
  }
  const std::string_view rest = group.substr(kWidget.size());
  if (!rest.empty() && kBlank.find(rest.front()) == std::string_view::npos) {
    return std::nullopt;
  }
  const auto start = rest.find_first_not_of(kBlank);
  if (start == std::string_view::npos) {
    return std::string_view();
  }
  return rest.substr(start, rest.find_last_not_of(kBlank) - start + 1);
}

std::string widgetGroup(std::string_view name) {
  return std::string(kWidget) + " " + std::string(name);
}

}  // namespace velto::host::placements::internal
