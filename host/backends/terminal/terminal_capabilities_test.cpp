#include "host/backends/terminal/terminal_capabilities.hpp"

#include <gtest/gtest.h>

namespace velto::host::terminal {
namespace {

TEST(DetectCapabilities, ReadsColourFromTheEnvironment) {
  const struct {
    EnvironmentMap environment;
    Capabilities expected;
  } cases[] = {
      {{{"TERM", "xterm-256color"}, {"COLORTERM", "truecolor"}},
       {ColorMode::trueColor, true, true}},
      {{{"TERM", "xterm-256color"}, {"COLORTERM", "24bit"}}, {ColorMode::trueColor, true, true}},
      {{{"TERM", "xterm-direct"}}, {ColorMode::trueColor, true, true}},
      {{{"TERM", "xterm-256color"}}, {ColorMode::palette256, true, true}},
      {{{"TERM", "tmux-256color"}, {"COLORTERM", "yes"}}, {ColorMode::palette256, true, true}},
      {{{"TERM", "screen"}}, {ColorMode::palette256, true, true}},
      {{}, {ColorMode::palette256, true, true}},
      {{{"TERM", "linux"}}, {ColorMode::palette256, false, true}},
      {{{"TERM", "dumb"}, {"COLORTERM", "truecolor"}}, {ColorMode::none, false, false, false}},
      {{{"TERM", "xterm-256color"}, {"COLORTERM", "truecolor"}, {"NO_COLOR", "1"}},
       {ColorMode::none, true, true}},
      {{{"TERM", "xterm-256color"}, {"NO_COLOR", "0"}}, {ColorMode::none, true, true}},
      // An empty NO_COLOR is as good as none.
      {{{"TERM", "xterm-256color"}, {"COLORTERM", "truecolor"}, {"NO_COLOR", ""}},
       {ColorMode::trueColor, true, true}},
  };
  for (const auto& c : cases) {
    const Capabilities found = detectCapabilities(c.environment);
    EXPECT_EQ(c.expected, found) << (c.environment.contains("TERM") ? c.environment.at("TERM")
                                                                    : "");
  }
}

}  // namespace
}  // namespace velto::host::terminal
