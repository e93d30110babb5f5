#include "tools/velto-timer/deep_link.hpp"

#include <string_view>

#include <gtest/gtest.h>

namespace velto::timer {
namespace {

TEST(CommandForLink, HandlesExactlyTheWidgetsTwoLinks) {
  EXPECT_EQ(TimerCommand::toggle, commandForLink("velto://toggle"));
  EXPECT_EQ(TimerCommand::stop, commandForLink("velto://stop"));
  using namespace std::string_view_literals;
  for (const std::string_view refused : {
           "https://example.org"sv,
           "velto://Toggle"sv,
           "VELTO://toggle"sv,
           "velto://STOP"sv,
           "velto://toggle/"sv,
           "velto://toggle?x=1"sv,
           "velto://stop#now"sv,
           "velto:toggle"sv,
           "velto:///toggle"sv,
           "/velto://toggle"sv,
           " velto://toggle"sv,
           "velto://stop\n"sv,
           "velto://start"sv,
           "velto://pause"sv,
           "velto://"sv,
           ""sv,
           "velto://toggle\0"sv,
           "file:///velto://toggle"sv,
           "velto://user@toggle"sv,
       }) {
    EXPECT_EQ(std::nullopt, commandForLink(refused)) << testing::PrintToString(refused);
  }
}

}  // namespace
}  // namespace velto::timer
