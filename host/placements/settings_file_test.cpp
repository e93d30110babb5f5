#include "host/placements/settings_file.hpp"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velto::host::placements {

void PrintTo(const SettingsError& error, std::ostream* out) {
  *out << error.describe("widget.ini") << " (group '" << error.group << "', key '" << error.key
       << "')";
}

namespace {

using platform::widgets::WidgetFamily;
using render::Appearance;
using std::filesystem::path;

std::vector<Placement> parsed(std::string_view text) {
  const auto placements = parseSettings(text);
  EXPECT_TRUE(placements.has_value()) << placements.error().describe("widget.ini");
  return placements.value_or(std::vector<Placement>{});
}

TEST(ParseSettings, ReadsEveryKey) {
  const auto placements = parsed(
      "[widget left]\n"
      "family = medium\n"
      "position = bottom-left\n"
      "margin = 0\n"
      "output = DP-1\n"
      "appearance = dark\n");
  const std::vector<Placement> expected{{.name = "left",
                                         .family = WidgetFamily::systemMedium,
                                         .corner = Corner::bottomLeft,
                                         .margin = 0,
                                         .output = "DP-1",
                                         .appearance = Appearance::dark}};
  EXPECT_EQ(expected, placements);
}

TEST(ParseSettings, EachGoodValueOfEachKey) {
  struct Case {
    std::string line;
    Placement expected;
  };
  const std::vector<Case> cases{
      {"family = small", {.name = "a", .family = WidgetFamily::systemSmall}},
      {"family = medium", {.name = "a", .family = WidgetFamily::systemMedium}},
      {"position = top-right", {.name = "a", .corner = Corner::topRight}},
      {"position = top-left", {.name = "a", .corner = Corner::topLeft}},
      {"position = bottom-right", {.name = "a", .corner = Corner::bottomRight}},
      {"position = bottom-left", {.name = "a", .corner = Corner::bottomLeft}},
      {"margin = 0", {.name = "a", .margin = 0}},
      {"margin = 10000", {.name = "a", .margin = 10'000}},
      {"margin=7   ", {.name = "a", .margin = 7}},
      {"output = HDMI-A-1", {.name = "a", .output = "HDMI-A-1"}},
      {"output = *", {.name = "a", .output = std::string(kEveryOutput)}},
      {"output = Dell\\sU2720Q", {.name = "a", .output = "Dell U2720Q"}},
      {"appearance = light", {.name = "a", .appearance = Appearance::light}},
      {"appearance = dark", {.name = "a", .appearance = Appearance::dark}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::vector{c.expected}, parsed("[widget a]\n" + c.line + "\n")) << c.line;
  }
}

TEST(ParseSettings, AGroupWithoutKeysIsTheDefaultPlacementUnderItsName) {
  EXPECT_EQ(std::vector<Placement>{{.name = "plain"}}, parsed("[widget plain]\n"));
}

TEST(ParseSettings, KeepsTheGroupsInTheirOrderWithTheirNamesTrimmed) {
  const auto placements = parsed(
      "# Two widgets\n"
      "\n"
      "[widget  everywhere ]\n"
      "output = *\n"
      "\n"
      "[widget left]\r\n"
      "  family=small\r\n"
      "[widget left bottom]\n");
  ASSERT_EQ(3U, placements.size());
  EXPECT_EQ("everywhere", placements[0].name);
  EXPECT_EQ("left", placements[1].name);
  EXPECT_EQ("left bottom", placements[2].name);
}

TEST(ParseSettings, NoGroupMeansNoPlacement) {
  for (const char* text : {"", "\n\n", "# nothing yet\n", "  # indented\n\n# two\n", "\r\n"}) {
    EXPECT_EQ(std::vector<Placement>{}, parsed(text)) << text;
  }
}

TEST(ParseSettings, TheSameKeyInTwoGroupsIsFine) {
  EXPECT_EQ(2U, parsed("[widget a]\nmargin = 1\n[widget b]\nmargin = 2\n").size());
}

struct BadCase {
  std::string text;
  SettingsError expected;
};

void expectErrors(const std::vector<BadCase>& cases) {
  for (const auto& c : cases) {
    const auto result = parseSettings(c.text);
    ASSERT_FALSE(result.has_value()) << c.text;
    EXPECT_EQ(c.expected, result.error()) << c.text;
  }
}

TEST(ParseSettings, NamesTheGroupKeyAndLineOfABadValue) {
  const auto bad = [](std::string line, std::string key, std::string message) {
    return BadCase{"# widgets\n\n[widget w]\n# the bad line:\n" + line + "\n",
                   {"widget w", std::move(key), 5, std::move(message)}};
  };
  expectErrors({
      bad("family = huge", "family", "\"huge\" is not small or medium"),
      bad("family = large", "family", "\"large\" is not small or medium"),
      bad("family = Small", "family", "\"Small\" is not small or medium"),
      bad("family =", "family", "\"\" is not small or medium"),
      bad("position = centre", "position",
          "\"centre\" is not top-right, top-left, bottom-right or bottom-left"),
      bad("margin = -1", "margin", "\"-1\" is not a whole number from 0 to 10000"),
      bad("margin = 10001", "margin", "\"10001\" is not a whole number from 0 to 10000"),
      bad("margin = 24.5", "margin", "\"24.5\" is not a whole number from 0 to 10000"),
      bad("margin = +5", "margin", "\"+5\" is not a whole number from 0 to 10000"),
      bad("margin = 99999999999999999999", "margin",
          "\"99999999999999999999\" is not a whole number from 0 to 10000"),
      bad("margin = twelve", "margin", "\"twelve\" is not a whole number from 0 to 10000"),
      bad("margin =", "margin", "\"\" is not a whole number from 0 to 10000"),
      bad("output =", "output", "is empty; name a monitor, or * for every monitor"),
      bad("output = DP\\t1", "output", "\"DP\\t1\" holds a control character"),
      bad("appearance = auto", "appearance", "\"auto\" is not light or dark"),
      bad("appearance = Dark", "appearance", "\"Dark\" is not light or dark"),
      bad("colour = red", "colour",
          "unknown key; a widget takes family, position, margin, output and appearance"),
      bad("family[de] = medium", "family[de]",
          "unknown key; a widget takes family, position, margin, output and appearance"),
  });
}

TEST(ParseSettings, RefusesGroupsThatAreNoWidgetsOrHaveNoName) {
  expectErrors({
      {"[general]\n", {"general", "", 1, "unknown group; each widget has a group [widget NAME]"}},
      {"[widget a]\n\n[widgets]\n",
       {"widgets", "", 3, "unknown group; each widget has a group [widget NAME]"}},
      {"[Widget a]\n", {"Widget a", "", 1, "unknown group; each widget has a group [widget NAME]"}},
      {"[widget]\n", {"widget", "", 1, "a widget needs a name: [widget NAME]"}},
      {"[widget   ]\n", {"widget   ", "", 1, "a widget needs a name: [widget NAME]"}},
      {"[widget a@b]\n", {"widget a@b", "", 1, "a widget's name cannot hold '@'"}},
  });
}

TEST(ParseSettings, RefusesRepeatedGroupsAndKeys) {
  expectErrors({
      {"[widget a]\nmargin = 1\n[widget b]\n[widget a]\nmargin = 2\n",
       {"widget a", "", 4, "the name 'a' is taken by line 1; each widget needs its own"}},
      {"[widget a]\n[widget  a ]\n",
       {"widget  a ", "", 2, "the name 'a' is taken by line 1; each widget needs its own"}},
      {"[widget a]\nmargin = 1\nfamily = small\nmargin = 2\n",
       {"widget a", "margin", 4, "given twice in this group (first on line 2)"}},
      {"[widget a]\nmargin = 1\nmargin   = 1\n",
       {"widget a", "margin", 3, "given twice in this group (first on line 2)"}},
  });
}

TEST(ParseSettings, ARepeatedGroupIsNamedBeforeABadValueThatGKeyFileMergedIntoTheFirst) {
  expectErrors({
      {"[widget a]\nfamily = small\n[widget a]\nfamily = huge\n",
       {"widget a", "", 3, "the name 'a' is taken by line 1; each widget needs its own"}},
  });
}

TEST(ParseSettings, PointsAtTheLineGKeyFileCannotRead) {
  constexpr std::string_view kNoLine = "neither a [group], a KEY = VALUE line nor a # comment";
  constexpr std::string_view kKeyFirst =
      "a key before the first group; each widget's keys follow its [widget NAME]";
  struct Case {
    std::string text;
    int line;
    /// Empty for GKeyFile's own words.
    std::string_view message;
  };
  const std::vector<Case> cases{
      {"[widget a]\nfamily = small\nthis is no key\n", 3, kNoLine},
      {"family = small\n[widget a]\n", 1, kKeyFirst},
      {"[widget a]\n[broken\n", 2, kNoLine},
      {"[widget a]\n[b] trailing\n", 2, kNoLine},
      {"[widget a]\n= value\n", 2, kNoLine},
      {"# fine\n[widget a]\n  family  small\n", 3, kNoLine},
      {"[widget a]\nfam ily[x = 1\n", 2, ""},
      {"[widget a]\n[widget\tb]\n", 2, ""},
  };
  for (const auto& c : cases) {
    const auto result = parseSettings(c.text);
    ASSERT_FALSE(result.has_value()) << c.text;
    EXPECT_EQ(c.line, result.error().line) << c.text;
    EXPECT_FALSE(result.error().message.empty()) << c.text;
    if (!c.message.empty()) {
      EXPECT_EQ(c.message, result.error().message) << c.text;
    }
    EXPECT_EQ("", result.error().group) << c.text;
  }
}

TEST(ParseSettings, FindsARefusedLineAnywhereAmongManyGoodOnes) {
  for (const int before : {0, 1, 254, 255, 256, 511, 600}) {
    std::string text = "[widget a]\n";
    for (int i = 0; i < before; ++i) {
      text += i % 2 == 0 ? "margin = 1\n" : "[widget b" + std::to_string(i) + "]\n";
    }
    text += "[widget\tc]\nmargin = 2\n";
    const auto result = parseSettings(text);
    ASSERT_FALSE(result.has_value()) << before;
    EXPECT_EQ(before + 2, result.error().line) << before;
  }
}

TEST(ParseSettings, KeepsTheErrorOneShortLineWhateverTheBadLineHolds) {
  const std::string text = "[widget a]\n[" + std::string(100'000, 'x') + "\tx]\n";
  const auto result = parseSettings(text);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(2, result.error().line);
  EXPECT_GT(1000U, result.error().describe("widget.ini").size());
  EXPECT_EQ(std::string::npos, result.error().describe("widget.ini").find('\t'));
}

TEST(ParseSettings, RefusesNulBytesAndTextThatIsNoUtf8) {
  expectErrors({
      {std::string("[widget a]\nfamily = sm\0all\n", 26), {"", "", 2, "the line holds a NUL byte"}},
      {"[widget a]\n# caf\xe9\n", {"", "", 2, "the line is not UTF-8 text"}},
  });
}

TEST(ParseSettings, RefusesTextLargerThanTheLimit) {
  const std::string text(kMaxSettingsFileSize + 1, '#');
  const auto result = parseSettings(text);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ("widget.ini: larger than 1 MiB; not read", result.error().describe("widget.ini"));
}

TEST(ParseSettings, ReadsAFileAtTheLimit) {
  std::string text;
  int count = 0;
  for (;;) {
    std::string group = "[widget w" + std::to_string(count)
                        + "]\nfamily = medium\nposition = bottom-left\nmargin = 12\n"
                          "output = *\nappearance = dark\n";
    if (text.size() + group.size() > kMaxSettingsFileSize) {
      break;
    }
    text += group;
    ++count;
  }
  text.resize(kMaxSettingsFileSize, '\n');
  const auto placements = parsed(text);
  ASSERT_EQ(static_cast<std::size_t>(count), placements.size());
  EXPECT_EQ("w" + std::to_string(count - 1), placements.back().name);
}

TEST(ParseSettings, FindsTheBadLineAtTheEndOfAFileAtTheLimit) {
  std::string text = "[widget a]\n";
  const std::string comment = "# a long file of comments\n";
  while (text.size() + comment.size() < kMaxSettingsFileSize - 100) {
    text += comment;
  }
  const auto badLine = std::ranges::count(text, '\n') + 2;
  text += "margin = 1\nno key here\n";
  const auto result = parseSettings(text);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(badLine, result.error().line);
}

TEST(SettingsError, DescribesItselfInOneLine) {
  struct Case {
    SettingsError error;
    std::string expected;
  };
  const std::vector<Case> cases{
      {{"widget left", "family", 7, "\"huge\" is not small or medium"},
       "widget.ini:7: [widget left] family: \"huge\" is not small or medium"},
      {{"general", "", 3, "unknown group"}, "widget.ini:3: [general] unknown group"},
      {{"", "", 2, "the line holds a NUL byte"}, "widget.ini:2: the line holds a NUL byte"},
      {{"", "", 0, "larger than 1 MiB; not read"}, "widget.ini: larger than 1 MiB; not read"},
      {{"widget a", "key\nwith a break", 4, "unknown key"},
       "widget.ini:4: [widget a] key\\nwith a break: unknown key"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, c.error.describe("widget.ini"));
  }
}

TEST(SettingsFilePath, FollowsTheXdgRules) {
  struct Case {
    const char* xdgConfigHome;
    const char* home;
    std::optional<path> expected;
  };
  const std::vector<Case> cases{
      {"/x/config", "/home/a", path("/x/config/velto/widget.ini")},
      {nullptr, "/home/a", path("/home/a/.config/velto/widget.ini")},
      {"", "/home/a", path("/home/a/.config/velto/widget.ini")},
      {"relative/config", "/home/a", path("/home/a/.config/velto/widget.ini")},
      {nullptr, "relative-home", std::nullopt},
      {nullptr, nullptr, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, settingsFilePath(c.xdgConfigHome, c.home))
        << (c.xdgConfigHome ? c.xdgConfigHome : "(unset)") << " / "
        << (c.home ? c.home : "(unset)");
  }
}

class ReadSettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velto-settings-XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    root_ = pattern;
    file_ = root_ / "widget.ini";
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  path root_;
  path file_;
};

TEST_F(ReadSettingsFile, NoFileIsNoText) {
  const auto text = readSettingsFile(file_);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(std::nullopt, *text);
}

TEST_F(ReadSettingsFile, ReadsTheWholeFile) {
  std::ofstream(file_) << "[widget a]\nmargin = 3\n";
  const auto text = readSettingsFile(file_);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ("[widget a]\nmargin = 3\n", text->value_or("<none>"));
}

TEST_F(ReadSettingsFile, ReadsAFileOfExactlyTheLimit) {
  std::ofstream(file_) << "";
  std::filesystem::resize_file(file_, kMaxSettingsFileSize);
  const auto text = readSettingsFile(file_);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(kMaxSettingsFileSize, text->value_or("").size());
}

TEST_F(ReadSettingsFile, RefusesAFileLargerThanTheLimit) {
  std::ofstream(file_) << "";
  std::filesystem::resize_file(file_, kMaxSettingsFileSize + 1);
  const auto text = readSettingsFile(file_);
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ("widget.ini: larger than 1 MiB; not read", text.error().describe("widget.ini"));
}

TEST_F(ReadSettingsFile, RefusesWhatIsNoRegularFileWithoutWaiting) {
  ASSERT_EQ(0, ::mkfifo(file_.c_str(), 0600));
  const auto fifo = readSettingsFile(file_);
  ASSERT_FALSE(fifo.has_value());
  EXPECT_EQ("not a regular file; not read", fifo.error().message);

  std::filesystem::remove(file_);
  std::filesystem::create_directory(file_);
  const auto folder = readSettingsFile(file_);
  ASSERT_FALSE(folder.has_value());
  EXPECT_EQ("not a regular file; not read", folder.error().message);
}

TEST_F(ReadSettingsFile, SaysWhyAFileCannotBeOpened) {
  std::ofstream(root_ / "plain") << "x";
  const auto text = readSettingsFile(root_ / "plain" / "widget.ini");
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ("cannot open it: Not a directory", text.error().message);
}

}  // namespace
}  // namespace velto::host::placements
