#include "host/backends/bar/click_reader.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velto::host::bar {
namespace {

class ClickReaderTest : public ::testing::Test {
 protected:
  ClickReader reader_{[this](const Click& click) { clicks_.push_back(click.url); },
                      [this](std::string_view line) { log_.emplace_back(line); }};
  std::vector<std::string> clicks_;
  std::vector<std::string> log_;
};

constexpr std::string_view kStream =
    "[\n"
    "{\"name\":\"velto\",\"instance\":\"velto://toggle\",\"button\":1}\n"
    ",{\"name\":\"velto\",\"instance\":\"velto://stop\",\"button\":1}\n";

TEST_F(ClickReaderTest, ReadsTheSameEventsWhateverTheBytesAreSplitInto) {
  for (std::size_t split = 1; split <= kStream.size(); ++split) {
    clicks_.clear();
    ClickReader reader([this](const Click& click) { clicks_.push_back(click.url); },
                       [this](std::string_view line) { log_.emplace_back(line); });
    for (std::size_t at = 0; at < kStream.size(); at += split) {
      reader.feed(kStream.substr(at, split));
    }
    EXPECT_EQ((std::vector<std::string>{"velto://toggle", "velto://stop"}), clicks_)
        << "split " << split;
  }
  EXPECT_TRUE(log_.empty());
}

TEST_F(ClickReaderTest, AMalformedEventIsLoggedOnceAndTheNextStillCounts) {
  reader_.feed("[\n,{not json\n,{\"name\":\"velto\",\"instance\":\"velto://stop\",\"button\":1}\n");
  EXPECT_EQ((std::vector<std::string>{"velto://stop"}), clicks_);
  ASSERT_EQ(1u, log_.size());
  EXPECT_NE(std::string::npos, log_[0].find("not a JSON object"));
}

TEST_F(ClickReaderTest, AnOverlongLineIsDroppedWithoutGrowingAndReadingGoesOn) {
  const std::string chunk(4096, 'x');
  for (std::size_t sent = 0; sent < 4 * kMaxClickLine; sent += chunk.size()) {
    reader_.feed(chunk);
  }
  reader_.feed("\n{\"name\":\"velto\",\"instance\":\"velto://toggle\",\"button\":1}\n");
  ASSERT_EQ(1u, log_.size());
  EXPECT_NE(std::string::npos, log_[0].find("longer than"));
  EXPECT_EQ((std::vector<std::string>{"velto://toggle"}), clicks_);
}

TEST_F(ClickReaderTest, AnUnfinishedLineWaitsForItsNewline) {
  reader_.feed("{\"name\":\"velto\",\"instance\":\"velto://stop\",\"button\":1}");
  EXPECT_TRUE(clicks_.empty());
  reader_.feed("\n");
  EXPECT_EQ((std::vector<std::string>{"velto://stop"}), clicks_);
}

}  // namespace
}  // namespace velto::host::bar
