// Linked with --wrap=fsync and --wrap=rename, so that the test sees which files
// savePosition flushes and in what order it renames them.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "host/backends/gtk/position_store.hpp"

namespace {

std::vector<std::string>& calls() {
  static std::vector<std::string> recorded;
  return recorded;
}

std::string pathOf(int fd) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

}  // namespace

extern "C" int __real_fsync(int fd);
extern "C" int __real_rename(const char* from, const char* to);

extern "C" int __wrap_fsync(int fd) {
  calls().push_back("fsync " + pathOf(fd));
  return __real_fsync(fd);
}

extern "C" int __wrap_rename(const char* from, const char* to) {
  calls().push_back(std::string("rename ") + from + " " + to);
  return __real_rename(from, to);
}

namespace velto::host::gtk {
namespace {

namespace fs = std::filesystem;

// Without the first fsync a power loss soon after the rename can leave an empty
// position file; without the last the rename itself can be lost.
TEST(SavePosition, FlushesTheNewFileBeforeItsRenameAndTheFolderAfter) {
  std::string pattern = (fs::temp_directory_path() / "velto-position-XXXXXX").string();
  ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
  const fs::path folder = pattern;
  const fs::path file = folder / "desktop-small.position";
  calls().clear();
  ASSERT_EQ(std::nullopt, savePosition(file, {10, 20}));
  const std::vector<std::string> recorded = calls();
  fs::remove_all(folder);

  ASSERT_EQ(3U, recorded.size()) << ::testing::PrintToString(recorded);
  const std::string temporary = recorded[0].substr(std::string("fsync ").size());
  EXPECT_TRUE(temporary.starts_with(file.string() + ".")) << recorded[0];
  EXPECT_EQ("rename " + temporary + " " + file.string(), recorded[1]);
  EXPECT_EQ("fsync " + folder.string(), recorded[2]);
}

}  // namespace
}  // namespace velto::host::gtk
