#include "host/app/terminal_appearance.hpp"

#include <optional>

#include <gtest/gtest.h>

namespace velto::host {
namespace {

using render::Appearance;

struct Case {
  std::optional<Appearance> asked;
  std::optional<bool> desktopDark;
  std::optional<Appearance> terminal;
  Appearance expected;
};

TEST(TerminalAppearance, PrefersTheAskedThenTheDesktopThenTheTerminalThenDark) {
  const Case cases[] = {
      {Appearance::light, true, Appearance::dark, Appearance::light},
      {Appearance::dark, false, Appearance::light, Appearance::dark},
      {std::nullopt, false, Appearance::dark, Appearance::light},
      {std::nullopt, true, Appearance::light, Appearance::dark},
      {std::nullopt, std::nullopt, Appearance::light, Appearance::light},
      {std::nullopt, std::nullopt, Appearance::dark, Appearance::dark},
      {std::nullopt, std::nullopt, std::nullopt, Appearance::dark},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, terminalAppearance(c.asked, c.desktopDark, c.terminal));
  }
}

}  // namespace
}  // namespace velto::host
