#include "host/placements/settings_writer.hpp"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/placements/settings_file.hpp"

namespace velto::host::placements {
namespace {

using platform::widgets::WidgetFamily;
using std::filesystem::path;

class WritePlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-writer-XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    root_ = pattern;
    file_ = root_ / "velto" / "widget.ini";
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void give(const std::string& text) const {
    std::filesystem::create_directories(file_.parent_path());
    std::ofstream(file_) << text;
  }

  std::string contents() const {
    std::ifstream in(file_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<Placement> placements() const {
    const auto parsed = parseSettings(contents());
    EXPECT_TRUE(parsed.has_value()) << parsed.error().describe(file_.string());
    return parsed.value_or(std::vector<Placement>{});
  }

  std::size_t filesInFolder() const {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(file_.parent_path()),
                      std::filesystem::directory_iterator()));
  }

  path root_;
  path file_;
  const Placement main_{.name = "main",
                        .family = WidgetFamily::systemMedium,
                        .corner = Corner::bottomLeft,
                        .margin = 40,
                        .output = "DP-1",
                        .appearance = render::Appearance::dark};
};

TEST_F(WritePlacement, CreatesTheFileAndItsFolderAndLeavesNoTemporaryFile) {
  const auto written = writePlacement(file_, main_);
  ASSERT_TRUE(written.has_value()) << written.error();
  EXPECT_EQ(std::vector{main_}, placements());
  EXPECT_EQ(1U, filesInFolder());
  struct stat status {};
  ASSERT_EQ(0, ::stat(file_.c_str(), &status));
  EXPECT_EQ(0644U, status.st_mode & 07777);
}

TEST_F(WritePlacement, KeepsCommentsAndOtherGroups) {
  give(
      "# My widgets\n"
      "\n"
      "[widget left]\n"
      "# the small one\n"
      "position = bottom-left\n"
      "\n"
      "[widget main]\n"
      "# was top-right\n"
      "family = small\n"
      "\n"
      "[widget everywhere]\n"
      "output = *\n");
  const auto written = writePlacement(file_, main_);
  ASSERT_TRUE(written.has_value()) << written.error();
  const std::string text = contents();
  for (const char* kept : {"# My widgets\n", "# the small one\n", "# was top-right\n"}) {
    EXPECT_NE(std::string::npos, text.find(kept)) << kept << " in\n" << text;
  }
  const std::vector<Placement> expected{
      {.name = "left", .corner = Corner::bottomLeft},
      main_,
      {.name = "everywhere", .output = std::string(kEveryOutput)},
  };
  EXPECT_EQ(expected, placements());
  EXPECT_EQ(1U, filesInFolder());
}

TEST_F(WritePlacement, ReplacesTheGroupHoweverItsHeaderIsSpaced) {
  give("[widget   main ]\nfamily = small\n");
  ASSERT_TRUE(writePlacement(file_, main_).has_value());
  EXPECT_EQ(std::vector{main_}, placements());
  EXPECT_NE(std::string::npos, contents().find("[widget   main ]"));
}

TEST_F(WritePlacement, DropsTheOutputAndAppearanceThatTheNewPlacementLeavesOpen) {
  ASSERT_TRUE(writePlacement(file_, main_).has_value());
  const Placement plain{.name = "main"};
  ASSERT_TRUE(writePlacement(file_, plain).has_value());
  EXPECT_EQ(std::vector{plain}, placements());
  EXPECT_EQ(std::string::npos, contents().find("output"));
  EXPECT_EQ(std::string::npos, contents().find("appearance"));
}

TEST_F(WritePlacement, WritesEveryKeyExplicitly) {
  ASSERT_TRUE(writePlacement(file_, {.name = "main"}).has_value());
  for (const char* line : {"family=small\n", "position=top-right\n", "margin=24\n"}) {
    EXPECT_NE(std::string::npos, contents().find(line)) << line;
  }
}

TEST_F(WritePlacement, RefusesAFileThatDoesNotParseAndLeavesItAsItIs) {
  const std::vector<std::string> broken{
      "[widget main]\nfamily = huge\n",
      "[widget main]\nthis is no key\n",
      "[general]\nx = 1\n",
      "[widget a]\n[widget a]\n",
  };
  for (const auto& text : broken) {
    give(text);
    const auto written = writePlacement(file_, main_);
    ASSERT_FALSE(written.has_value()) << text;
    EXPECT_NE(std::string::npos, written.error().find(file_.string() + ":")) << written.error();
    EXPECT_NE(std::string::npos, written.error().find("left as it is")) << written.error();
    EXPECT_EQ(text, contents());
    EXPECT_EQ(1U, filesInFolder());
  }
}

TEST_F(WritePlacement, RefusesAFileLargerThanTheLimit) {
  give("");
  std::filesystem::resize_file(file_, kMaxSettingsFileSize + 1);
  const auto written = writePlacement(file_, main_);
  ASSERT_FALSE(written.has_value());
  EXPECT_NE(std::string::npos, written.error().find("larger than 1 MiB")) << written.error();
  EXPECT_EQ(kMaxSettingsFileSize + 1, std::filesystem::file_size(file_));
}

TEST_F(WritePlacement, RefusesNamesTheFileCannotHold) {
  for (const char* name : {"", "  ", "a@b", "x]y", " main"}) {
    const auto written = writePlacement(file_, {.name = name});
    EXPECT_FALSE(written.has_value()) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(WritePlacement, RefusesAPlacementThatWouldNotReadBack) {
  EXPECT_FALSE(writePlacement(file_, {.name = "main", .margin = -5}).has_value());
  EXPECT_FALSE(
      writePlacement(file_, {.name = "main", .family = WidgetFamily::systemLarge}).has_value());
  EXPECT_FALSE(writePlacement(file_, {.name = "main", .output = ""}).has_value());
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(WritePlacement, KeepsALinkALinkAndTheFilesMode) {
  std::filesystem::create_directories(file_.parent_path());
  const path dotfiles = root_ / "dotfiles-widget.ini";
  std::ofstream(dotfiles) << "# mine\n";
  ::chmod(dotfiles.c_str(), 0600);
  std::filesystem::create_symlink(dotfiles, file_);
  ASSERT_TRUE(writePlacement(file_, main_).has_value());
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(std::vector{main_}, placements());
  struct stat status {};
  ASSERT_EQ(0, ::stat(dotfiles.c_str(), &status));
  EXPECT_EQ(0600U, status.st_mode & 07777);
}

TEST_F(WritePlacement, SaysWhyTheFolderCannotBeMade) {
  std::ofstream(root_ / "velto") << "a file, not a folder";
  const auto written = writePlacement(file_, main_);
  ASSERT_FALSE(written.has_value());
  EXPECT_NE(std::string::npos, written.error().find(file_.string())) << written.error();
}

}  // namespace
}  // namespace velto::host::placements
