#include "host/backends/bar/bar_backend.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/bar_trees.hpp"

namespace velto::host::bar {
namespace {

using platform::foundation::Date;
using testing::kInstant;
using testing::State;
using testing::widgetTree;

class BarBackendTest : public ::testing::Test {
 protected:
  BarBackend make(BarFormat format) {
    return BarBackend(
        format, false,
        [this](std::string_view line) {
          if (!open_) {
            return false;
          }
          written_.emplace_back(line);
          return true;
        },
        [this] { ++closed_; });
  }

  live::Scene scene(State state) const {
    return live::Scene{platform::widgets::WidgetFamily::systemSmall,
                       widgetTree(state, "Deep Work", 754, 5400), false};
  }

  std::vector<std::string> written_;
  bool open_ = true;
  int closed_ = 0;
};

TEST_F(BarBackendTest, PrintsOneLinePerSecondWhileTheReadoutTicks) {
  auto backend = make(BarFormat::waybar);
  backend.show(scene(State::running), Date(kInstant));
  backend.tick(Date(kInstant + 1));
  backend.tick(Date(kInstant + 1.5));  // the same second: nothing visible changed
  backend.tick(Date(kInstant + 2));
  ASSERT_EQ(3u, written_.size());
  EXPECT_NE(std::string::npos, written_[0].find("00:12:34"));
  EXPECT_NE(std::string::npos, written_[1].find("00:12:35"));
  EXPECT_NE(std::string::npos, written_[2].find("00:12:36"));
}

TEST_F(BarBackendTest, PrintsNothingWhenANewTreeReadsTheSame) {
  auto backend = make(BarFormat::waybar);
  backend.show(scene(State::paused), Date(kInstant));
  backend.show(scene(State::paused), Date(kInstant));
  backend.tick(Date(kInstant + 30));
  EXPECT_EQ(1u, written_.size());
}

TEST_F(BarBackendTest, WritesTheI3barHeaderOnceThenContinuesTheArray) {
  auto backend = make(BarFormat::i3bar);
  backend.show(scene(State::running), Date(kInstant));
  backend.tick(Date(kInstant + 1));
  ASSERT_EQ(2u, written_.size());
  EXPECT_TRUE(written_[0].starts_with("{\"version\":1,\"click_events\":true}\n[\n[{"));
  EXPECT_TRUE(written_[1].starts_with(",[{"));
}

TEST_F(BarBackendTest, NothingIsPrintedBeforeTheFirstTree) {
  auto backend = make(BarFormat::i3bar);
  backend.tick(Date(kInstant));
  backend.status("no handler for velto: links");
  EXPECT_TRUE(written_.empty());
}

TEST_F(BarBackendTest, APlaceholderIsNeverPrintedTheFirstEntryIs) {
  auto backend = make(BarFormat::i3bar);
  live::Scene placeholder = scene(State::running);
  placeholder.redacted = true;
  backend.show(placeholder, Date(kInstant));
  backend.tick(Date(kInstant + 1));
  EXPECT_TRUE(written_.empty());
  backend.show(scene(State::paused), Date(kInstant + 2));
  ASSERT_EQ(1u, written_.size());
  EXPECT_TRUE(written_[0].starts_with("{\"version\":1"));
  EXPECT_EQ(std::string::npos, written_[0].find("\u2588"));
  EXPECT_NE(std::string::npos, written_[0].find("Deep Work"));
}

TEST_F(BarBackendTest, AStatusQuotingABarsBytesIsPrintable) {
  auto backend = make(BarFormat::waybar);
  backend.show(scene(State::paused), Date(kInstant));
  backend.status("not on display: \x1b]0;owned\x07\u202E" + std::string(60'000, 'x'));
  ASSERT_EQ(2u, written_.size());
  const auto status = nlohmann::json::parse(written_[1])["text"].get<std::string>();
  EXPECT_EQ(std::string::npos, status.find('\x1b'));
  EXPECT_EQ(std::string::npos, status.find('\x07'));
  EXPECT_EQ(std::string::npos, status.find("\u202E"));
  EXPECT_NE(std::string::npos, status.find("\\u001b]0;owned"));
  EXPECT_GT(1000u, status.size());
}

TEST_F(BarBackendTest, AStatusShowsUntilCleared) {
  auto backend = make(BarFormat::waybar);
  backend.show(scene(State::paused), Date(kInstant));
  backend.status("cannot open velto://toggle");
  backend.status("");
  ASSERT_EQ(3u, written_.size());
  EXPECT_NE(std::string::npos, written_[1].find("cannot open velto://toggle"));
  EXPECT_EQ(written_[0], written_[2]);
}

TEST_F(BarBackendTest, ABarThatClosedItsPipeEndsTheProgramOnceAndHearsNoMore) {
  auto backend = make(BarFormat::waybar);
  backend.show(scene(State::running), Date(kInstant));
  open_ = false;
  backend.tick(Date(kInstant + 1));
  backend.tick(Date(kInstant + 2));
  EXPECT_EQ(1, closed_);
  EXPECT_EQ(1u, written_.size());
}

}  // namespace
}  // namespace velto::host::bar
