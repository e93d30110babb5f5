#include "host/live/folder_watch.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "host/live/run_loop_for_test.hpp"

namespace velto::host::live {
namespace {

namespace fs = std::filesystem;
using testing::runFor;
using testing::runUntil;
using testing::TestContext;

class FolderWatchTest : public ::testing::Test {
 protected:
  FolderWatchTest() {
    char folder[] = "/tmp/velto-watch-XXXXXX";
    root_ = ::mkdtemp(folder);
    folder_ = root_ / "config" / "velto" / "defaults";
  }
  ~FolderWatchTest() override { fs::remove_all(root_); }

  // Publishes a file the way the companion does: write aside, rename into place.
  void publish(const std::string& name) {
    const fs::path aside = folder_ / ("." + name + ".tmp");
    std::ofstream(aside) << "x";
    fs::rename(aside, folder_ / name);
  }
  bool changesReach(int count) {
    return runUntil(context_.get(), [&] { return changes_ >= count; });
  }

  TestContext context_;
  fs::path root_;
  fs::path folder_;
  int changes_ = 0;
};

TEST_F(FolderWatchTest, TellsOfASnapshotRenamedIntoPlace) {
  fs::create_directories(folder_);
  FolderWatch watch(context_.get(), folder_, [this] { ++changes_; });
  EXPECT_EQ(folder_, watch.watching());
  publish("group.app.velto.plist");
  EXPECT_TRUE(changesReach(1));
}

TEST_F(FolderWatchTest, WatchesTheNearestAncestorUntilTheFolderAppears) {
  fs::create_directories(root_ / "config");
  FolderWatch watch(context_.get(), folder_, [this] { ++changes_; });
  EXPECT_EQ(root_ / "config", watch.watching());
  fs::create_directories(folder_);
  ASSERT_TRUE(changesReach(1));
  EXPECT_TRUE(runUntil(context_.get(), [&] { return watch.watching() == folder_; }));
  const int before = changes_;
  publish("group.app.velto.plist");
  EXPECT_TRUE(changesReach(before + 1));
}

TEST_F(FolderWatchTest, KeepsTellingAfterTheFolderIsDeletedAndRecreated) {
  fs::create_directories(folder_);
  FolderWatch watch(context_.get(), folder_, [this] { ++changes_; });
  fs::remove_all(root_ / "config" / "velto");
  ASSERT_TRUE(changesReach(1));
  ASSERT_TRUE(runUntil(context_.get(), [&] { return watch.watching() == root_ / "config"; }));
  fs::create_directories(folder_);
  ASSERT_TRUE(runUntil(context_.get(), [&] { return watch.watching() == folder_; }));
  const int before = changes_;
  publish("group.app.velto.plist");
  EXPECT_TRUE(changesReach(before + 1));
}

TEST_F(FolderWatchTest, IgnoresNeighboursOfAnAncestor) {
  fs::create_directories(root_ / "config");
  FolderWatch watch(context_.get(), folder_, [this] { ++changes_; });
  std::ofstream(root_ / "config" / "other.conf") << "x";
  fs::create_directories(root_ / "config" / "elsewhere");
  runFor(context_.get(), std::chrono::milliseconds(300));
  EXPECT_EQ(0, changes_);
}

TEST_F(FolderWatchTest, TellsOfABurstOnce) {
  fs::create_directories(folder_);
  FolderWatch watch(
      context_.get(), folder_, [this] { ++changes_; }, std::chrono::milliseconds(200));
  for (int i = 0; i < 20; ++i) {
    std::ofstream(folder_ / ("file" + std::to_string(i))) << i;
  }
  ASSERT_TRUE(changesReach(1));
  runFor(context_.get(), std::chrono::milliseconds(100));
  EXPECT_EQ(1, changes_);
}

TEST(DefaultsFolder, FollowsXdgConfigHomeElseHome) {
  const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string config = savedConfig ? savedConfig : "";
  const std::string home = savedHome ? savedHome : "";
  ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
  EXPECT_EQ(fs::path("/x/config/velto/defaults"), defaultsFolder());
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(fs::path("/home/someone/.config/velto/defaults"), defaultsFolder());
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(fs::path("/home/someone/.config/velto/defaults"), defaultsFolder());
  savedConfig ? ::setenv("XDG_CONFIG_HOME", config.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace velto::host::live
