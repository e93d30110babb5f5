#include "host/app/desktop_appearance.hpp"

#include <cstdlib>

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace velto::host {
namespace {

TEST(ThemePrefersDark, ReadsTheThemeVariant) {
  struct Case {
    const char* theme;
    std::optional<bool> expected;
  };
  const Case cases[] = {
      {"Adwaita:dark", true},         {"Adwaita:light", false},
      {"Adwaita", std::nullopt},      {"", std::nullopt},
      {"Adwaita:", std::nullopt},     {"a:b:dark", true},
      {"Adwaita-dark", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, themePrefersDark(c.theme)) << c.theme;
  }
}

// Run alone in a fresh process (the death test's own), where it is the only
// thread: the child answers, and no settings code ran here.
TEST(DesktopPrefersDarkApart, AnswersAsAskingHereWouldWithoutLoadingTheSettingsHere) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ::unsetenv("GTK_THEME");
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        const auto apart = desktopPrefersDarkApart();
        const bool settingsStayedOut = g_type_from_name("GSettings") == 0;
        const bool same = apart == desktopPrefersDark();
        std::exit(settingsStayedOut && same ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace velto::host
