#include "host/app/desktop_appearance.hpp"

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

}  // namespace
}  // namespace velto::host
