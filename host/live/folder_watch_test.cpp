#include "host/live/folder_watch.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include "tests/support/run_loop.hpp"

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
  FolderWatch watch(context_.get(), folder_, root_, [this] { ++changes_; });
  EXPECT_EQ(folder_, watch.watching());
  publish("group.app.velto.plist");
  EXPECT_TRUE(changesReach(1));
}

TEST_F(FolderWatchTest, WatchesTheNearestAncestorUntilTheFolderAppears) {
  fs::create_directories(root_ / "config");
  FolderWatch watch(context_.get(), folder_, root_, [this] { ++changes_; });
  EXPECT_EQ(root_ / "config", watch.watching());
  fs::create_directories(folder_);
  ASSERT_TRUE(changesReach(1));
  EXPECT_TRUE(runUntil(context_.get(), [&] { return watch.watching() == folder_; }));
  const int before = changes_;
  publish("group.app.velto.plist");
  EXPECT_TRUE(changesReach(before + 1));
}

TEST_F(FolderWatchTest, IgnoresNeighboursOfAnAncestor) {
  fs::create_directories(root_ / "config");
  FolderWatch watch(context_.get(), folder_, root_, [this] { ++changes_; });
  std::ofstream(root_ / "config" / "other.conf") << "x";
  fs::create_directories(root_ / "config" / "elsewhere");
  runFor(context_.get(), std::chrono::milliseconds(300));
  EXPECT_EQ(0, changes_);
}

TEST_F(FolderWatchTest, TellsOfABurstOnce) {
  fs::create_directories(folder_);
  FolderWatch watch(
      context_.get(), folder_, root_, [this] { ++changes_; }, std::chrono::milliseconds(200));
  for (int i = 0; i < 20; ++i) {
    std::ofstream(folder_ / ("file" + std::to_string(i))) << i;
  }
  ASSERT_TRUE(changesReach(1));
  runFor(context_.get(), std::chrono::milliseconds(100));
  EXPECT_EQ(1, changes_);
}

// Whether an inotify watch of this process holds the folder at `path` itself,
// by its inode: what tells a watch on a replaced folder from one on its successor.
bool inodeWatched(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return false;
  }
  char inode[32];
  std::snprintf(inode, sizeof inode, " ino:%llx ", static_cast<unsigned long long>(status.st_ino));
  for (const auto& entry : fs::directory_iterator("/proc/self/fdinfo")) {
    std::ifstream info(entry.path());
    for (std::string line; std::getline(info, line);) {
      if (line.starts_with("inotify") && (line + " ").find(inode) != std::string::npos) {
        return true;
      }
    }
  }
  return false;
}

struct Replacement {
  const char* name;
  std::function<void(const fs::path& root)> prepare;
  std::function<void(const fs::path& root)> replace;
};

// The folder or a folder above it is swapped for another while watched; the
// watch must move to the new one as soon as the swap is told. Between the two it
// watches the nearest ancestor, as when the folder is missing from the start.
TEST_F(FolderWatchTest, FollowsAReplacedFolderOrAncestorAtOnce) {
  const std::vector<Replacement> cases = {
      {"folder deleted and recreated",
       {},
       [](const fs::path& root) {
         fs::remove_all(root / "config/velto/defaults");
         fs::create_directories(root / "config/velto/defaults");
       }},
      {"folder renamed away, another renamed in",
       {},
       [](const fs::path& root) {
         fs::rename(root / "config/velto/defaults", root / "config/velto/old");
         fs::create_directories(root / "config/velto/new");
         fs::rename(root / "config/velto/new", root / "config/velto/defaults");
       }},
      {"ancestor deleted and recreated",
       {},
       [](const fs::path& root) {
         fs::remove_all(root / "config");
         fs::create_directories(root / "config/velto/defaults");
       }},
      {"symlinked folder pointed elsewhere",
       [](const fs::path& root) {
         fs::create_directories(root / "one");
         fs::create_directories(root / "two");
         fs::create_directories(root / "config/velto");
         fs::create_directory_symlink(root / "one", root / "config/velto/defaults");
       },
       [](const fs::path& root) {
         fs::create_directory_symlink(root / "two", root / "config/velto/link");
         fs::rename(root / "config/velto/link", root / "config/velto/defaults");
       }},
      {"symlinked ancestor pointed elsewhere",
       [](const fs::path& root) {
         fs::create_directories(root / "one/velto/defaults");
         fs::create_directories(root / "two/velto/defaults");
         fs::create_directory_symlink(root / "one", root / "config");
       },
       [](const fs::path& root) {
         fs::create_directory_symlink(root / "two", root / "link");
         fs::rename(root / "link", root / "config");
       }},
  };
  for (const Replacement& c : cases) {
    fs::remove_all(root_);
    fs::create_directories(root_);
    if (c.prepare) {
      c.prepare(root_);
    } else {
      fs::create_directories(folder_);
    }
    changes_ = 0;
    FolderWatch watch(context_.get(), folder_, root_, [this] { ++changes_; });
    ASSERT_TRUE(inodeWatched(folder_)) << c.name;
    c.replace(root_);
    ASSERT_TRUE(changesReach(1)) << c.name;
    EXPECT_TRUE(inodeWatched(folder_)) << c.name;
    const int before = changes_;
    publish("group.app.velto.plist");
    EXPECT_TRUE(changesReach(before + 1)) << c.name;
  }
}

TEST(WatchedLevels, RunFromTheOutermostFolderDownToTheWatchedOne) {
  const std::vector<WatchedLevel> expected = {
      {"/home/a", ".config"},
      {"/home/a/.config", "velto"},
      {"/home/a/.config/velto", "defaults"},
      {"/home/a/.config/velto/defaults", ""},
  };
  EXPECT_EQ(expected, watchedLevels("/home/a/.config/velto/defaults", "/home/a"));
  EXPECT_EQ(expected, watchedLevels("/home/a/.config/velto/defaults/", "/home/a/"));
  EXPECT_EQ(fs::path("/home/a"), outermostWatchedFolder("/home/a/.config/velto/defaults"));
  // Not an ancestor: watched from the root.
  const auto fromRoot = watchedLevels("/x/y", "/elsewhere");
  ASSERT_EQ(3U, fromRoot.size());
  EXPECT_EQ((WatchedLevel{"/", "x"}), fromRoot.front());
}

TEST(WatchEvents, AreJudgedByLevelAndName) {
  const WatchedLevel ancestor{"/c", "velto"};
  const WatchedLevel folder{"/c/velto", ""};
  struct Case {
    const WatchedLevel* level;
    std::uint32_t mask;
    const char* name;
    WatchVerdict verdict;
  };
  const Case cases[] = {
      {&folder, IN_MOVED_TO, "group.app.velto.plist", WatchVerdict::changed},
      {&folder, IN_CLOSE_WRITE, "x", WatchVerdict::changed},
      {&folder, IN_DELETE_SELF, "", WatchVerdict::rewatch},
      {&folder, IN_MOVE_SELF, "", WatchVerdict::rewatch},
      {&folder, IN_IGNORED, "", WatchVerdict::rewatch},
      {&ancestor, IN_CREATE | IN_ISDIR, "velto", WatchVerdict::rewatch},
      {&ancestor, IN_MOVED_TO, "velto", WatchVerdict::rewatch},
      {&ancestor, IN_DELETE, "velto", WatchVerdict::rewatch},
      {&ancestor, IN_CREATE, "other", WatchVerdict::ignore},
      {&ancestor, IN_MOVED_FROM, "velto.old", WatchVerdict::ignore},
      {&ancestor, IN_MOVE_SELF, "", WatchVerdict::rewatch},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.verdict, judgeWatchEvent(*c.level, c.mask, c.name))
        << c.level->path << " " << c.mask << " " << c.name;
  }
}

}  // namespace
}  // namespace velto::host::live
