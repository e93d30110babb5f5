#include "host/app/autostart_command.hpp"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sysexits.h>
#include <unistd.h>

#include "host/placements/settings_file.hpp"
#include "tests/support/program_run.hpp"

namespace velto::host {
namespace {

using platform::widgets::WidgetFamily;
using std::filesystem::path;

TEST(AutostartFilePath, FollowsTheXdgRules) {
  struct Case {
    const char* xdgConfigHome;
    const char* home;
    std::optional<path> expected;
  };
  const std::vector<Case> cases{
      {"/x/config", "/home/a", path("/x/config/autostart/velto-widget-host.desktop")},
      {nullptr, "/home/a", path("/home/a/.config/autostart/velto-widget-host.desktop")},
      {"", "/home/a", path("/home/a/.config/autostart/velto-widget-host.desktop")},
      {"relative/config", "/home/a", path("/home/a/.config/autostart/velto-widget-host.desktop")},
      {nullptr, "relative-home", std::nullopt},
      {nullptr, nullptr, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, autostartFilePath(c.xdgConfigHome, c.home))
        << (c.xdgConfigHome ? c.xdgConfigHome : "(unset)") << " / "
        << (c.home ? c.home : "(unset)");
  }
}

TEST(ExecArgument, QuotesAndEscapesAsDesktopEntriesRequire) {
  struct Case {
    std::string argument;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"--family", "--family"},
      {"/usr/bin/velto-widget-host", "/usr/bin/velto-widget-host"},
      {"", "\"\""},
      {"HDMI 1", "\"HDMI 1\""},
      {"50%", "50%%"},
      {"a\"b", R"("a\\"b")"},
      {"$HOME", R"("\\$HOME")"},
      {"back\\slash", R"("back\\\\slash")"},
      {"it's", "\"it's\""},
      {"Ünïcode", "Ünïcode"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, execArgument(c.argument).value_or("<refused>")) << c.argument;
  }
}

TEST(ExecArgument, RefusesWhatNoExecLineCanCarry) {
  const std::vector<std::string> arguments{"two\nlines", "tab\there", std::string("nul\0", 4),
                                           "del\x7f"};
  for (const std::string& argument : arguments) {
    EXPECT_FALSE(execArgument(argument).has_value()) << argument;
  }
}

TEST(AutostartEntry, RunsTheDesktopCommandWithTheGivenOptions) {
  const std::vector<std::string> arguments{"--extension", "/opt/velto bin/ext", "--verbose"};
  const auto entry = autostartEntry("/opt/velto bin/velto-widget-host", arguments);
  ASSERT_TRUE(entry.has_value());
  EXPECT_NE(std::string::npos,
            entry->find("\nExec=\"/opt/velto bin/velto-widget-host\" desktop --extension "
                        "\"/opt/velto bin/ext\" --verbose\n"));
  EXPECT_TRUE(entry->starts_with("[Desktop Entry]\n"));
  EXPECT_NE(std::string::npos, entry->find("\nType=Application\n"));
}

TEST(AutostartEntry, RefusesAnArgumentWithANewlineRatherThanWriteABrokenFile) {
  const std::vector<std::string> arguments{"--extension", "/x\nExec=rm -rf ~"};
  EXPECT_FALSE(autostartEntry("/usr/bin/velto-widget-host", arguments).has_value());
}

class AutostartFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velto-autostart-XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    root_ = pattern;
    file_ = *autostartFilePath(root_.c_str(), nullptr);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::string contents() const {
    std::ifstream in(file_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  path root_;
  path file_;
  path settings() const { return root_ / "velto" / "widget.ini"; }

  const std::vector<std::string> arguments_{"--verbose"};
};

TEST_F(AutostartFiles, EnableWritesTheEntryAndCreatesTheFolder) {
  const auto outcome =
      enableAutostart(file_, "/usr/bin/velto-widget-host", arguments_, [] { return false; });
  EXPECT_EQ(EX_OK, outcome.status) << outcome.message;
  EXPECT_EQ(*autostartEntry("/usr/bin/velto-widget-host", arguments_), contents());
  EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(file_.parent_path()),
                             std::filesystem::directory_iterator()))
      << "no temporary file may be left beside the entry";
}

TEST_F(AutostartFiles, EnableAgainReplacesTheOptions) {
  enableAutostart(file_, "/usr/bin/velto-widget-host", arguments_, [] { return false; });
  const std::vector<std::string> other{"--extension", "/opt/ext"};
  enableAutostart(file_, "/usr/bin/velto-widget-host", other, [] { return false; });
  EXPECT_NE(std::string::npos, contents().find("desktop --extension /opt/ext\n"));
  EXPECT_EQ(std::string::npos, contents().find("--verbose"));
}

TEST_F(AutostartFiles, EnableRefusesWhileTheSystemdUnitIsEnabledAndWritesNothing) {
  const auto outcome = enableAutostart(
      file_, "/usr/bin/velto-widget-host", arguments_, [] { return true; },
      PlacementToWrite{settings(), {.name = "main"}});
  EXPECT_EQ(EX_UNAVAILABLE, outcome.status);
  EXPECT_NE(std::string::npos, outcome.message.find("systemctl --user disable"));
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_FALSE(std::filesystem::exists(settings()));
}

TEST_F(AutostartFiles, EnableWritesThePlacementToTheSettingsFileAndRunsPlainDesktop) {
  const placements::Placement placement{.name = "main",
                                        .family = WidgetFamily::systemMedium,
                                        .corner = placements::Corner::bottomLeft};
  const auto outcome = enableAutostart(
      file_, "/usr/bin/velto-widget-host", {}, [] { return false; },
      PlacementToWrite{settings(), placement});
  EXPECT_EQ(EX_OK, outcome.status) << outcome.message;
  EXPECT_EQ("the widget now starts at login: " + file_.string() + "; wrote the placement 'main' to "
                + settings().string(),
            outcome.message);
  EXPECT_NE(std::string::npos, contents().find("\nExec=/usr/bin/velto-widget-host desktop\n"));
  std::ifstream in(settings());
  std::stringstream text;
  text << in.rdbuf();
  const auto written = placements::parseSettings(text.str());
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(std::vector{placement}, *written);
}

TEST_F(AutostartFiles, EnableWritesNoEntryWhenTheSettingsFileHasAMistake) {
  std::filesystem::create_directories(settings().parent_path());
  std::ofstream(settings()) << "[widget main]\nfamily = huge\n";
  const auto outcome = enableAutostart(
      file_, "/usr/bin/velto-widget-host", {}, [] { return false; },
      PlacementToWrite{settings(), {.name = "main"}});
  EXPECT_EQ(EX_CANTCREAT, outcome.status);
  EXPECT_NE(std::string::npos, outcome.message.find(settings().string() + ":2: [widget main]"))
      << outcome.message;
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(AutostartFiles, DisableRemovesTheEntryAndToleratesItsAbsence) {
  enableAutostart(file_, "/usr/bin/velto-widget-host", arguments_, [] { return false; });
  EXPECT_EQ(EX_OK, disableAutostart(file_).status);
  EXPECT_FALSE(std::filesystem::exists(file_));
  const auto again = disableAutostart(file_);
  EXPECT_EQ(EX_OK, again.status);
  EXPECT_NE(std::string::npos, again.message.find("not there"));
}

TEST_F(AutostartFiles, EnableFailsClearlyWhenTheConfigFolderIsAFile) {
  std::ofstream(root_ / "autostart") << "not a folder";
  const auto outcome =
      enableAutostart(file_, "/usr/bin/velto-widget-host", arguments_, [] { return false; });
  EXPECT_EQ(EX_CANTCREAT, outcome.status);
  EXPECT_NE(std::string::npos, outcome.message.find((root_ / "autostart").string()));
}

TEST_F(AutostartFiles, StatusNamesBothWaysWhenBothAreOn) {
  enableAutostart(file_, "/usr/bin/velto-widget-host", arguments_, [] { return false; });
  EXPECT_NE(std::string::npos, autostartStatus(file_, [] { return true; }).message.find("twice"));
  EXPECT_NE(std::string::npos,
            autostartStatus(file_, [] { return false; }).message.find(file_.string()));
  disableAutostart(file_);
  EXPECT_EQ("not started at login", autostartStatus(file_, [] { return false; }).message);
}

class AutostartProgram : public AutostartFiles {
 protected:
  void SetUp() override {
    AutostartFiles::SetUp();
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    savedConfig_ = config ? std::optional<std::string>(config) : std::nullopt;
    // Without systemctl on the path, the systemd unit counts as not enabled.
    ::setenv("PATH", "/nonexistent", 1);
    ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", savedPath_.c_str(), 1);
    if (savedConfig_) {
      ::setenv("XDG_CONFIG_HOME", savedConfig_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    AutostartFiles::TearDown();
  }

  std::string savedPath_;
  std::optional<std::string> savedConfig_;
};

TEST_F(AutostartProgram, PlacementOptionsGoToTheSettingsFileAndTheRestOntoTheExecLine) {
  const auto run = test_support::runProgram(
      VELTO_WIDGET_HOST, {"autostart", "enable", "--family", "medium", "--position", "bottom-left",
                          "--margin", "40", "--name", "left", "--verbose"});
  ASSERT_EQ(EX_OK, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("wrote the placement 'left' to " + settings().string()))
      << run.out;
  EXPECT_NE(std::string::npos, contents().find(" desktop --verbose\n")) << contents();
  EXPECT_EQ(std::string::npos, contents().find("--family"));
  std::ifstream in(settings());
  std::stringstream text;
  text << in.rdbuf();
  const std::vector<placements::Placement> expected{{.name = "left",
                                                     .family = WidgetFamily::systemMedium,
                                                     .corner = placements::Corner::bottomLeft,
                                                     .margin = 40}};
  EXPECT_EQ(expected,
            placements::parseSettings(text.str()).value_or(std::vector<placements::Placement>{}));
}

TEST_F(AutostartProgram, WithoutPlacementOptionsLeavesTheSettingsFileAlone) {
  const auto run = test_support::runProgram(VELTO_WIDGET_HOST, {"autostart", "enable"});
  ASSERT_EQ(EX_OK, run.status) << run.err;
  EXPECT_EQ(std::string::npos, run.out.find("placement")) << run.out;
  EXPECT_FALSE(std::filesystem::exists(settings()));

  const auto named =
      test_support::runProgram(VELTO_WIDGET_HOST, {"autostart", "enable", "--name", "left"});
  EXPECT_EQ(EX_USAGE, named.status);
  EXPECT_NE(std::string::npos, named.err.find("--name")) << named.err;
}

TEST_F(AutostartProgram, RefusesAPlacementNameTheSettingsFileCannotHold) {
  const auto run = test_support::runProgram(
      VELTO_WIDGET_HOST, {"autostart", "enable", "--family", "medium", "--name", "a@b"});
  EXPECT_EQ(EX_USAGE, run.status);
  EXPECT_EQ("velto-widget-host: --name: a widget's name cannot hold '@'\n", run.err);
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_FALSE(std::filesystem::exists(settings()));
}

TEST(SystemdUnitEnabled, AMissingSystemctlCountsAsNotEnabled) {
  const char* saved = std::getenv("PATH");
  const std::string path = saved ? saved : "";
  ::setenv("PATH", "/nonexistent", 1);
  const bool enabled = systemdUnitEnabled();
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(enabled);
}

}  // namespace
}  // namespace velto::host
