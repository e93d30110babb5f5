#include "platform/widgets/environment.hpp"

#include <thread>

#include <gtest/gtest.h>

namespace platform::widgets {
namespace {

Environment<&EnvironmentValues::widgetFamily> familyBinding;

TEST(Environment, ReadsTheInnermostScopeOfItsOwnThread) {
  EXPECT_EQ(WidgetFamily::systemSmall, familyBinding.wrappedValue());
  {
    const EnvironmentValues medium{WidgetFamily::systemMedium};
    EnvironmentScope outer(medium);
    EXPECT_EQ(WidgetFamily::systemMedium, familyBinding.wrappedValue());
    {
      const EnvironmentValues large{WidgetFamily::systemLarge};
      EnvironmentScope inner(large);
      EXPECT_EQ(WidgetFamily::systemLarge, familyBinding.wrappedValue());
      WidgetFamily seenElsewhere = WidgetFamily::accessoryInline;
      std::thread([&] { seenElsewhere = familyBinding.wrappedValue(); }).join();
      EXPECT_EQ(WidgetFamily::systemSmall, seenElsewhere);
    }
    EXPECT_EQ(WidgetFamily::systemMedium, familyBinding.wrappedValue());
  }
  EXPECT_EQ(WidgetFamily::systemSmall, familyBinding.wrappedValue());
}

TEST(WidgetFamily, RawValuesRoundTripAndUnknownNamesAreRefused) {
  for (WidgetFamily family : kAllWidgetFamilies) {
    EXPECT_EQ(family, widgetFamilyFromRawValue(rawValue(family)));
  }
  for (const char* name : {"", "small", "SystemSmall", "systemSmall ", "systemsmall"}) {
    EXPECT_FALSE(widgetFamilyFromRawValue(name).has_value()) << name;
  }
}

TEST(WidgetFamily, ShortNamesRoundTripAndFileNamesKeepTheirSpelling) {
  for (WidgetFamily family : kAllWidgetFamilies) {
    EXPECT_EQ(family, familyFromName(familyName(family)));
  }
  // Names already in position files and rendered file names.
  EXPECT_EQ("small", familyName(WidgetFamily::systemSmall));
  EXPECT_EQ("medium", familyName(WidgetFamily::systemMedium));
  EXPECT_EQ("extraLarge", familyName(WidgetFamily::systemExtraLarge));
  EXPECT_EQ("inline", familyName(WidgetFamily::accessoryInline));
  for (const char* name : {"", "all", "systemSmall", "Small", "small "}) {
    EXPECT_FALSE(familyFromName(name).has_value()) << name;
  }
}

}  // namespace
}  // namespace platform::widgets
