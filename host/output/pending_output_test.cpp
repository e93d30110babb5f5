#include "host/output/pending_output.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

#include "platform/foundation/internal/defaults_test_support.hpp"

namespace velto::host {
namespace {

namespace fs = std::filesystem;
using platform::foundation::test_support::TemporaryFolder;
using ::testing::HasSubstr;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PendingOutput, ReplacesARegularFileOnlyOnCommit) {
  const TemporaryFolder folder;
  const fs::path target = folder.path() / "w.png";
  std::ofstream(target) << "old";
  auto output = PendingOutput::create(target);
  ASSERT_TRUE(output.has_value()) << output.error().message;
  EXPECT_EQ("old", readFile(target));
  EXPECT_EQ(2U, namesIn(folder.path()).size());  // the file and its hidden stand-in
  ASSERT_TRUE(output->commit("new").has_value());
  EXPECT_EQ("new", readFile(target));
  EXPECT_EQ(std::vector<std::string>{"w.png"}, namesIn(folder.path()));
  EXPECT_EQ(0644U, static_cast<unsigned>(fs::status(target).permissions()) & 0777U);
}

TEST(PendingOutput, LeavesNothingWhenNotCommitted) {
  const TemporaryFolder folder;
  { ASSERT_TRUE(PendingOutput::create(folder.path() / "w.png").has_value()); }
  EXPECT_TRUE(namesIn(folder.path()).empty());
}

TEST(PendingOutput, FollowsSymbolicLinksAndReplacesTheirTarget) {
  const TemporaryFolder folder;
  fs::create_directory(folder.path() / "real");
  std::ofstream(folder.path() / "real" / "target.png") << "old";
  fs::create_symlink("real/target.png", folder.path() / "hop.png");
  fs::create_symlink("hop.png", folder.path() / "link.png");
  fs::create_symlink(folder.path() / "real" / "new.png", folder.path() / "dangling.png");

  for (const char* link : {"link.png", "dangling.png"}) {
    auto output = PendingOutput::create(folder.path() / link);
    ASSERT_TRUE(output.has_value()) << output.error().message;
    ASSERT_TRUE(output->commit(link).has_value());
    EXPECT_TRUE(fs::is_symlink(folder.path() / link)) << link;
    EXPECT_EQ(link, readFile(folder.path() / link));
  }
  EXPECT_TRUE(fs::is_symlink(folder.path() / "hop.png"));
  EXPECT_EQ("link.png", readFile(folder.path() / "real" / "target.png"));
  EXPECT_EQ("dangling.png", readFile(folder.path() / "real" / "new.png"));
  EXPECT_EQ((std::vector<std::string>{"new.png", "target.png"}), namesIn(folder.path() / "real"));
}

TEST(PendingOutput, WritesThroughAFifo) {
  const TemporaryFolder folder;
  const fs::path fifo = folder.path() / "pipe.png";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  std::string received;
  std::thread reader([&] { received = readFile(fifo); });
  const std::string image(200'000, 'x');  // more than a pipe holds at once
  {
    auto output = PendingOutput::create(fifo);
    EXPECT_TRUE(output.has_value());
    if (output) {
      EXPECT_TRUE(output->commit(image).has_value());
    } else {
      ::close(::open(fifo.c_str(), O_WRONLY));  // lets the reader end
    }
  }
  reader.join();
  EXPECT_EQ(image, received);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(std::vector<std::string>{"pipe.png"}, namesIn(folder.path()));
}

TEST(PendingOutput, ADeviceIsWrittenInPlaceAndAFullOneIsAnIoError) {
  auto null = PendingOutput::create("/dev/null");
  ASSERT_TRUE(null.has_value()) << null.error().message;
  EXPECT_TRUE(null->commit("image").has_value());
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  auto full = PendingOutput::create("/dev/full");
  ASSERT_TRUE(full.has_value()) << full.error().message;
  const auto written = full->commit("image");
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(EX_IOERR, written.error().status);
  EXPECT_THAT(written.error().message, HasSubstr("'/dev/full'"));
  EXPECT_THAT(written.error().message, HasSubstr("No space left on device"));
}

TEST(PendingOutput, RefusesFoldersAndMissingFolders) {
  const TemporaryFolder folder;
  fs::create_symlink(folder.path(), folder.path() / "to-folder");
  for (const fs::path& path : {folder.path(), folder.path() / "to-folder",
                               folder.path() / "no" / "w.png", folder.path() / ""}) {
    const auto output = PendingOutput::create(path);
    ASSERT_FALSE(output.has_value()) << path;
    EXPECT_EQ(EX_CANTCREAT, output.error().status);
    EXPECT_THAT(output.error().message, HasSubstr(path.string()));
  }
  EXPECT_EQ(std::vector<std::string>{"to-folder"}, namesIn(folder.path()));
}

TEST(PendingOutput, RefusesALoopOfLinks) {
  const TemporaryFolder folder;
  fs::create_symlink("b.png", folder.path() / "a.png");
  fs::create_symlink("a.png", folder.path() / "b.png");
  const auto output = PendingOutput::create(folder.path() / "a.png");
  ASSERT_FALSE(output.has_value());
  EXPECT_THAT(output.error().message, HasSubstr("symbolic links"));
}

}  // namespace
}  // namespace velto::host
