#include "platform/foundation/atomic_file_replacement.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include "platform/foundation/internal/defaults_test_support.hpp"

namespace platform::foundation {
namespace {

namespace fs = std::filesystem;
using Step = ReplacementError::Step;
using test_support::TemporaryFolder;

std::string contentsOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

mode_t permissionsOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(0, ::stat(path.c_str(), &status));
  return status.st_mode & 07777;
}

TEST(AtomicFileReplacement, CommitPutsTheNewContentsInPlaceWithTheAskedPermissions) {
  struct Case {
    std::optional<mode_t> mode;
    bool hidden;
    bool existing;
    mode_t expected;
  };
  for (const Case& c : {Case{std::nullopt, false, true, 0600}, Case{0644, true, true, 0644},
                        Case{0640, false, false, 0640}}) {
    const TemporaryFolder folder;
    const fs::path target = folder.path() / "file";
    if (c.existing) {
      writeFile(target, "old contents, longer than the new");
      ::chmod(target.c_str(), 0666);
    }
    auto replacement =
        AtomicFileReplacement::begin(target, {.mode = c.mode, .hiddenTemporary = c.hidden});
    ASSERT_TRUE(replacement);
    const std::string temporary = replacement->temporaryPath().filename().string();
    EXPECT_TRUE(AtomicFileReplacement::isTemporaryName(temporary, "file", c.hidden)) << temporary;
    EXPECT_EQ(c.hidden, temporary.starts_with('.')) << temporary;
    ASSERT_TRUE(replacement->write("new "));
    ASSERT_TRUE(replacement->write("contents"));
    // Until the commit a reader still sees the old file.
    EXPECT_EQ(c.existing ? "old contents, longer than the new" : "", contentsOf(target));
    ASSERT_TRUE(replacement->commit());
    EXPECT_TRUE(replacement->temporaryPath().empty());
    EXPECT_EQ("new contents", contentsOf(target));
    EXPECT_EQ(c.expected, permissionsOf(target));
    EXPECT_EQ(std::vector<std::string>{"file"}, namesIn(folder.path()));
  }
}

TEST(AtomicFileReplacement, AnUncommittedOrFailedReplacementLeavesTheOldFileAndNoTemporary) {
  const TemporaryFolder folder;
  const fs::path target = folder.path() / "file";
  writeFile(target, "old");
  {
    auto dropped = AtomicFileReplacement::begin(target, {});
    ASSERT_TRUE(dropped);
    ASSERT_TRUE(dropped->write("never committed"));
    EXPECT_TRUE(fs::exists(dropped->temporaryPath()));
  }
  EXPECT_EQ("old", contentsOf(target));
  EXPECT_EQ(std::vector<std::string>{"file"}, namesIn(folder.path()));

  // rename cannot put a file over a folder that holds something.
  const fs::path blocked = folder.path() / "blocked";
  fs::create_directories(blocked / "inside");
  {
    auto failing = AtomicFileReplacement::begin(blocked, {});
    ASSERT_TRUE(failing);
    ASSERT_TRUE(failing->write("new"));
    const auto committed = failing->commit();
    ASSERT_FALSE(committed);
    EXPECT_EQ(Step::rename, committed.error().step);
    EXPECT_NE(0, committed.error().error);
  }
  EXPECT_TRUE(fs::is_directory(blocked / "inside"));
  EXPECT_EQ((std::vector<std::string>{"blocked", "file"}), [&] {
    auto names = namesIn(folder.path());
    std::sort(names.begin(), names.end());
    return names;
  }());

  const auto missingFolder = AtomicFileReplacement::begin(folder.path() / "none" / "file", {});
  ASSERT_FALSE(missingFolder);
  EXPECT_EQ(Step::create, missingFolder.error().step);
  EXPECT_EQ(ENOENT, missingFolder.error().error);
}

TEST(AtomicFileReplacement, ALockedTemporaryCannotBeLockedByAnotherUntilCommitted) {
  const TemporaryFolder folder;
  auto replacement = AtomicFileReplacement::begin(folder.path() / "file", {.lockTemporary = true});
  ASSERT_TRUE(replacement);
  // flock conflicts between two open file descriptions, even in one process.
  const UniqueFd other(::open(replacement->temporaryPath().c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(other);
  EXPECT_NE(0, ::flock(other.get(), LOCK_EX | LOCK_NB));
  EXPECT_EQ(EWOULDBLOCK, errno);
}

TEST(AtomicFileReplacement, TemporaryNamesAreTheTargetsNameAndSixLettersOrDigits) {
  struct Case {
    const char* name;
    bool hidden;
    bool expected;
  };
  for (const Case& c : {Case{"file.a1B2c3", false, true}, Case{".file.a1B2c3", true, true},
                        Case{".file.a1B2c3", false, false}, Case{"file.a1B2c3", true, false},
                        Case{"file.a1B2c", false, false}, Case{"file.a1B2c34", false, false},
                        Case{"file.a1B-c3", false, false}, Case{"file.lock", false, false},
                        Case{"other.a1B2c3", false, false}}) {
    EXPECT_EQ(c.expected, AtomicFileReplacement::isTemporaryName(c.name, "file", c.hidden))
        << c.name << (c.hidden ? " hidden" : "");
  }
}

}  // namespace
}  // namespace platform::foundation
