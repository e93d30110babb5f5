#include "host/backends/bar/bar_line.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/bar_trees.hpp"

namespace velto::host::bar {
namespace {

using platform::foundation::Date;
using testing::kInstant;
using testing::State;
using testing::widgetTree;

struct GoldenCase {
  const char* name;
  State state;
  std::optional<std::string> project;
  double elapsed;
  double today;
  // Read one second after the snapshot, so a running readout has advanced.
  std::string waybar;
  std::string waybarShort;
  std::string i3bar;
};

class BarLines : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(BarLines, MatchTheirGoldenLines) {
  const GoldenCase& c = GetParam();
  const BarReading reading = readTree(widgetTree(c.state, c.project, c.elapsed, c.today));
  const Date instant(kInstant + 1);
  EXPECT_EQ(c.waybar, waybarLine(reading, instant, false));
  EXPECT_EQ(c.waybarShort, waybarLine(reading, instant, true));
  EXPECT_EQ(c.i3bar, i3barLine(reading, instant, false, true));
}

INSTANTIATE_TEST_SUITE_P(
    States, BarLines,
    ::testing::Values(
        GoldenCase{
            "running", State::running, "Deep Work", 754, 5400,
            R"({"alt":"running","class":["running","ticking","links"],"text":"◔ VELTO  Deep Work  ▶ 00:12:35  ☀ 1h 30m","tooltip":"◔ VELTO\nDeep Work\n▶ 00:12:35\n☀ 1h 30m\nRunning"})"
            "\n",
            R"({"alt":"running","class":["running","ticking","links"],"text":"▶ 00:12:35","tooltip":"◔ VELTO\nDeep Work\n▶ 00:12:35\n☀ 1h 30m\nRunning"})"
            "\n",
            R"([{"full_text":"◔ VELTO","instance":"text-0","name":"velto","separator":false,"separator_block_width":9},{"full_text":"Deep Work","instance":"text-1","name":"velto","separator":false,"separator_block_width":9},{"full_text":"▶ 00:12:35","instance":"text-2","name":"velto","separator":false,"separator_block_width":9},{"full_text":"☀ 1h 30m","instance":"text-3","name":"velto","separator":false,"separator_block_width":9},{"full_text":"‖","instance":"velto://toggle","name":"velto","separator":false,"separator_block_width":9},{"full_text":"■","instance":"velto://stop","name":"velto","separator":true,"separator_block_width":9}])"
            "\n"},
        GoldenCase{
            "paused", State::paused, "R&D <2>", 3661.5, 9000,
            R"({"alt":"paused","class":["paused","links"],"text":"◔ VELTO  R&amp;D &lt;2&gt;  ‖ 01:01:01  ☀ 2h 30m","tooltip":"◔ VELTO\nR&amp;D &lt;2&gt;\n‖ 01:01:01\n☀ 2h 30m\nPaused"})"
            "\n",
            R"({"alt":"paused","class":["paused","links"],"text":"‖ 01:01:01","tooltip":"◔ VELTO\nR&amp;D &lt;2&gt;\n‖ 01:01:01\n☀ 2h 30m\nPaused"})"
            "\n",
            R"([{"full_text":"◔ VELTO","instance":"text-0","name":"velto","separator":false,"separator_block_width":9},{"full_text":"R&D <2>","instance":"text-1","name":"velto","separator":false,"separator_block_width":9},{"full_text":"‖ 01:01:01","instance":"text-2","name":"velto","separator":false,"separator_block_width":9},{"full_text":"☀ 2h 30m","instance":"text-3","name":"velto","separator":false,"separator_block_width":9},{"full_text":"▶","instance":"velto://toggle","name":"velto","separator":false,"separator_block_width":9},{"full_text":"■","instance":"velto://stop","name":"velto","separator":true,"separator_block_width":9}])"
            "\n"},
        GoldenCase{
            "stopped", State::stopped, std::nullopt, 0, 0,
            R"({"alt":"stopped","class":["stopped"],"text":"◔ VELTO  Ready to focus  ■ 00:00:00  ☀ 0m","tooltip":"◔ VELTO\nReady to focus\n■ 00:00:00\n☀ 0m\nStopped"})"
            "\n",
            R"({"alt":"stopped","class":["stopped"],"text":"■ 00:00:00","tooltip":"◔ VELTO\nReady to focus\n■ 00:00:00\n☀ 0m\nStopped"})"
            "\n",
            R"([{"full_text":"◔ VELTO","instance":"text-0","name":"velto","separator":false,"separator_block_width":9},{"full_text":"Ready to focus","instance":"text-1","name":"velto","separator":false,"separator_block_width":9},{"full_text":"■ 00:00:00","instance":"text-2","name":"velto","separator":false,"separator_block_width":9},{"full_text":"☀ 0m","instance":"text-3","name":"velto","separator":true,"separator_block_width":9}])"
            "\n"}),
    [](const ::testing::TestParamInfo<GoldenCase>& test) { return std::string(test.param.name); });

TEST(I3barLine, LinesAfterTheFirstContinueTheEndlessArray) {
  const BarReading reading = readTree(widgetTree(State::stopped, std::nullopt, 0, 0));
  const std::string first = i3barLine(reading, Date(kInstant), false, true);
  const std::string later = i3barLine(reading, Date(kInstant), false, false);
  EXPECT_EQ("," + first, later);
  EXPECT_EQ("{\"version\":1,\"click_events\":true}\n[\n", i3barHeader());
  EXPECT_TRUE(nlohmann::json::parse(first).is_array());
}

TEST(I3barLine, TheShortFormKeepsTheLinksClickable) {
  const BarReading reading = readTree(widgetTree(State::running, "Deep Work", 754, 5400));
  const auto blocks = nlohmann::json::parse(i3barLine(reading, Date(kInstant), true, true));
  ASSERT_EQ(3u, blocks.size());
  EXPECT_EQ("\u25B6 00:12:34", blocks[0]["full_text"]);
  EXPECT_EQ("velto://toggle", blocks[1]["instance"]);
  EXPECT_EQ("velto://stop", blocks[2]["instance"]);
}

TEST(WaybarLine, ATextThatIsNotUtf8DoesNotEndTheBar) {
  const BarReading reading{{BarItem{{std::string("bad \xff byte")}, {}}}};
  const auto line = waybarLine(reading, Date(kInstant), false);
  EXPECT_TRUE(nlohmann::json::parse(line).is_object());
}

TEST(ReadClickLine, MapsAClickOnALinkBlockToItsUrl) {
  struct Case {
    const char* line;
    std::optional<std::string> url;
  };
  const std::vector<Case> cases{
      {R"([{"name":"velto","instance":"velto://toggle","button":1,"x":10,"y":2})",
       "velto://toggle"},
      {R"(,{"name":"velto","instance":"velto://stop","button":1})", "velto://stop"},
      {R"(  , {"name":"velto","instance":"velto://stop","button":1}  )", "velto://stop"},
      {R"({"name":"velto","instance":"velto://stop","button":3})", std::nullopt},
      {R"({"name":"velto","instance":"text-0","button":1})", std::nullopt},
      {R"({"name":"clock","instance":"velto://stop","button":1})", std::nullopt},
      {"[", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const ClickLine read = readClickLine(c.line);
    EXPECT_EQ("", read.error) << c.line;
    EXPECT_EQ(c.url, read.click ? std::optional(read.click->url) : std::nullopt) << c.line;
  }
}

TEST(ReadClickLine, GivesAReasonForEachMalformedEvent) {
  for (const std::string& line :
       {std::string(R"({"name":"velto","instance":"velto://stop")"), std::string("[1,2]"),
        std::string("garbage"), std::string(R"({"name":"velto","button":1})"),
        std::string(R"({"name":"velto","instance":"velto://stop","button":"1"})"),
        std::string(R"({"name":"velto","instance":7,"button":1})"),
        std::string("{\"name\":\"velto\"}\0trailing", 26)}) {
    const ClickLine read = readClickLine(line);
    EXPECT_FALSE(read.click.has_value()) << line;
    EXPECT_NE("", read.error) << line;
  }
}

}  // namespace
}  // namespace velto::host::bar
