#include "host/backends/gtk/position_store.hpp"

#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velto::host::gtk {
namespace {

namespace fs = std::filesystem;

TEST(PositionFile, FollowsTheXdgStateFolder) {
  EXPECT_EQ(fs::path("/state/velto/desktop-small.position"),
            positionFile("small", "/state", "/home/ann"));
  EXPECT_EQ(fs::path("/home/ann/.local/state/velto/desktop-medium.position"),
            positionFile("medium", nullptr, "/home/ann"));
  // A relative or empty XDG folder is ignored.
  EXPECT_EQ(fs::path("/home/ann/.local/state/velto/desktop-small.position"),
            positionFile("small", "state", "/home/ann"));
  EXPECT_EQ(fs::path("/home/ann/.local/state/velto/desktop-small.position"),
            positionFile("small", "", "/home/ann"));
  EXPECT_EQ(std::nullopt, positionFile("small", nullptr, nullptr));
  EXPECT_EQ(std::nullopt, positionFile("small", "rel", "also-rel"));
}

TEST(ParsePosition, ReadsTwoIntegers) {
  struct Case {
    const char* text;
    std::optional<ScreenPoint> expected;
  };
  const Case cases[] = {
      {"100 200\n", ScreenPoint{100, 200}},
      {"100 200", ScreenPoint{100, 200}},
      {"-40 0\n", ScreenPoint{-40, 0}},
      {"1000000 -1000000", ScreenPoint{1'000'000, -1'000'000}},
      {"", std::nullopt},
      {"\n", std::nullopt},
      {"100", std::nullopt},
      {"100 ", std::nullopt},
      {" 100 200", std::nullopt},
      {"100  200", std::nullopt},
      {"100 200\n\n", std::nullopt},
      {"100 200 300", std::nullopt},
      {"+100 200", std::nullopt},
      {"1e3 200", std::nullopt},
      {"100.5 200", std::nullopt},
      {"0x10 200", std::nullopt},
      {"1000001 0", std::nullopt},
      {"99999999999999999999 0", std::nullopt},
      {"100\t200", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, parsePosition(c.text)) << '"' << c.text << '"';
  }
}

TEST(ParsePosition, NulByteIsDamage) {
  EXPECT_EQ(std::nullopt, parsePosition(std::string_view("100 2\0", 6)));
}

TEST(FormatPosition, ReadsBack) {
  for (const ScreenPoint point : {ScreenPoint{0, 0}, ScreenPoint{-1, 1}, ScreenPoint{1920, 1050}}) {
    EXPECT_EQ(point, parsePosition(formatPosition(point)));
  }
}

class PositionStoreFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "velto-position-XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }

  fs::path folder_;
};

TEST_F(PositionStoreFiles, SavedPositionLoadsBackAndMakesItsFolder) {
  const fs::path file = folder_ / "state" / "velto" / "desktop-small.position";
  EXPECT_EQ(std::nullopt, savePosition(file, {312, 48}));
  EXPECT_EQ((ScreenPoint{312, 48}), loadPosition(file));
  EXPECT_EQ(std::nullopt, savePosition(file, {-5, 7}));
  EXPECT_EQ((ScreenPoint{-5, 7}), loadPosition(file));
  // No temporary file is left beside it.
  EXPECT_EQ(1, std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()));
}

TEST_F(PositionStoreFiles, DamagedFilesReadAsNoPosition) {
  const fs::path file = folder_ / "p";
  EXPECT_EQ(std::nullopt, loadPosition(file));  // missing
  write(file, "garbage");
  EXPECT_EQ(std::nullopt, loadPosition(file));
  write(file, "1 2" + std::string(kMaxPositionFileSize, ' '));
  EXPECT_EQ(std::nullopt, loadPosition(file));  // oversized
  write(file, std::string("1 2\0", 4));
  EXPECT_EQ(std::nullopt, loadPosition(file));
}

TEST_F(PositionStoreFiles, OnlyRegularFilesAreRead) {
  const fs::path target = folder_ / "target";
  write(target, "1 2\n");
  ASSERT_EQ((ScreenPoint{1, 2}), loadPosition(target));
  const fs::path link = folder_ / "link";
  fs::create_symlink(target, link);
  EXPECT_EQ(std::nullopt, loadPosition(link));
  EXPECT_EQ(std::nullopt, loadPosition(folder_));
  const fs::path fifo = folder_ / "fifo";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  EXPECT_EQ(std::nullopt, loadPosition(fifo));  // and does not hang
}

TEST_F(PositionStoreFiles, UnwritableFolderIsReportedInOneLine) {
  const fs::path blocker = folder_ / "blocker";
  write(blocker, "");
  const auto failure = savePosition(blocker / "velto" / "p", {1, 2});
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(std::string::npos, failure->find('\n'));
  EXPECT_NE(std::string::npos, failure->find("blocker"));
}

}  // namespace
}  // namespace velto::host::gtk
