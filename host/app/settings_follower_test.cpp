#include "host/app/settings_follower.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/run_loop.hpp"

namespace velto::host {
namespace {

namespace fs = std::filesystem;
using live::testing::runUntil;
using live::testing::TestContext;
using placements::Placement;
using platform::widgets::WidgetFamily;

constexpr const char* kLeftSmall = "[widget left]\nfamily = small\nposition = bottom-left\n";
constexpr const char* kLeftMedium = "[widget left]\nfamily = medium\nposition = bottom-left\n";

class SettingsFollowerTest : public ::testing::Test {
 protected:
  SettingsFollowerTest() {
    char folder[] = "/tmp/velto-settings-XXXXXX";
    root_ = ::mkdtemp(folder);
    fs::create_directories(file().parent_path());
    follower_ = std::make_unique<SettingsFollower>(
        context_.get(), file(),
        [this](std::vector<Placement> placements) { seen_.push_back(std::move(placements)); },
        [this](std::string_view line) { reports_.emplace_back(line); });
  }
  ~SettingsFollowerTest() override {
    follower_.reset();
    fs::remove_all(root_);
  }

  fs::path file() const { return root_ / "config" / "velto" / "widget.ini"; }
  void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
  bool until(const std::function<bool()>& done) { return runUntil(context_.get(), done); }
  WidgetFamily lastFamily() const { return seen_.back().at(0).family; }

  TestContext context_;
  fs::path root_;
  std::unique_ptr<SettingsFollower> follower_;
  std::vector<std::vector<Placement>> seen_;
  std::vector<std::string> reports_;
};

TEST_F(SettingsFollowerTest, WithoutAFileShowsTheDefaultWidget) {
  follower_->read();
  ASSERT_EQ(1U, seen_.size());
  EXPECT_EQ(std::vector<Placement>{Placement{}}, seen_[0]);
  EXPECT_TRUE(reports_.empty());
}

TEST_F(SettingsFollowerTest, FollowsEveryWayOfSaving) {
  write(file(), kLeftSmall);
  follower_->read();
  ASSERT_EQ(WidgetFamily::systemSmall, lastFamily());

  // An editor that writes beside the file and renames over it.
  write(file().string() + ".tmp", kLeftMedium);
  fs::rename(file().string() + ".tmp", file());
  ASSERT_TRUE(until([&] { return lastFamily() == WidgetFamily::systemMedium; }));

  // One that truncates and writes in place.
  write(file(), kLeftSmall);
  ASSERT_TRUE(until([&] { return lastFamily() == WidgetFamily::systemSmall; }));

  // Deleting the file brings back the default widget.
  fs::remove(file());
  ASSERT_TRUE(until([&] { return seen_.back() == std::vector<Placement>{Placement{}}; }));
  EXPECT_TRUE(reports_.empty());
}

TEST_F(SettingsFollowerTest, KeepsTheLastGoodPlacementsAndSaysOnceWhatIsWrong) {
  write(file(), kLeftSmall);
  follower_->read();
  ASSERT_EQ(1U, seen_.size());

  write(file(), "[widget left]\nfamily = huge\n");
  ASSERT_TRUE(until([&] { return !reports_.empty(); }));
  EXPECT_NE(std::string::npos, reports_[0].find("left")) << reports_[0];
  EXPECT_NE(std::string::npos, reports_[0].find("family")) << reports_[0];
  EXPECT_NE(std::string::npos, reports_[0].find(":2")) << reports_[0];
  // The same fault read again is not told again.
  follower_->read();
  EXPECT_EQ(1U, reports_.size());
  EXPECT_EQ(1U, seen_.size());

  write(file(), kLeftMedium);
  ASSERT_TRUE(until([&] { return seen_.size() == 2; }));
  EXPECT_EQ(WidgetFamily::systemMedium, lastFamily());
}

TEST_F(SettingsFollowerTest, HandsOverOnlyWhatChanged) {
  write(file(), kLeftSmall);
  follower_->read();
  // Same placements, other spelling: nothing to redo.
  write(file(), std::string("# my widgets\n") + kLeftSmall);
  follower_->read();
  EXPECT_EQ(1U, seen_.size());
}

}  // namespace
}  // namespace velto::host
