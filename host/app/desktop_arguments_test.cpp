#include "host/app/desktop_arguments.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velto::host {
namespace {

using placements::Corner;
using placements::Placement;
using platform::widgets::WidgetFamily;

TEST(DesktopArguments, WithoutPlacementOptionsTheSettingsDecide) {
  DesktopArguments arguments;
  arguments.extension = "/x/extension";
  arguments.verbose = true;
  EXPECT_EQ(std::nullopt, placementOf(arguments));
  EXPECT_TRUE(placementArguments(arguments).empty());
  const auto none = placementFromArguments(placementArguments(arguments));
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(std::nullopt, *none);
}

TEST(DesktopArguments, APlacementTravelsToTheRunningHostIntact) {
  DesktopArguments arguments;
  arguments.family = "medium";
  arguments.position = "bottom-left";
  arguments.margin = 0;
  arguments.output = "DP 2";
  arguments.appearance = "dark";
  const auto asked = placementOf(arguments);
  ASSERT_TRUE(asked.has_value());
  EXPECT_EQ(WidgetFamily::systemMedium, asked->family);
  EXPECT_EQ(Corner::bottomLeft, asked->corner);

  const auto received = placementFromArguments(placementArguments(arguments));
  ASSERT_TRUE(received.has_value() && received->has_value());
  Placement expected = *asked;
  expected.name = (**received).name;
  EXPECT_EQ(expected, **received);
  // Asking twice names it the same, so it shows once.
  EXPECT_EQ((**received).name, (*placementFromArguments(placementArguments(arguments)))->name);
  EXPECT_FALSE((**received).name.empty());
}

TEST(DesktopArguments, AForeignRequestThatDoesNotParseIsRefused) {
  const std::vector<std::vector<std::string>> requests = {
      {"--family", "huge"}, {"--margin", "-4"}, {"--position"}, {"--rm", "-rf"}, {"stray"}};
  for (const auto& request : requests) {
    EXPECT_FALSE(placementFromArguments(request).has_value()) << request.front();
  }
}

}  // namespace
}  // namespace velto::host
