#include "host/live/live_host.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>

#include "platform/ui/view.hpp"
#include "tests/support/run_loop.hpp"

namespace velto::host::live {
namespace {

namespace fs = std::filesystem;
using platform::foundation::Date;
using platform::widgets::WidgetFamily;
using testing::runFor;
using testing::runUntil;
using testing::TestContext;

// The text of a tree that is one verbatim Text, as the fake extension sends.
std::string textOf(const platform::ui::View& view) {
  const auto* text = std::get_if<platform::ui::Text>(&view.element);
  if (text == nullptr) {
    return "?";
  }
  const auto* verbatim = std::get_if<platform::ui::Text::Verbatim>(&text->content);
  return verbatim != nullptr ? verbatim->string : "?";
}

struct Shown {
  std::string text;
  bool redacted;
};

class RecordingBackend final : public Backend {
 public:
  void show(const Scene& scene, Date) override {
    shows.push_back({textOf(scene.view), scene.redacted});
  }
  void tick(Date) override {}
  void status(std::string_view message) override { statuses.emplace_back(message); }

  // The last tree shown, unredacted, whose text starts with `prefix`.
  bool lastShows(const std::string& prefix) const {
    return !shows.empty() && !shows.back().redacted && shows.back().text.rfind(prefix, 0) == 0;
  }

  std::vector<Shown> shows;
  std::vector<std::string> statuses;
};

// Sets an environment variable for one test.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() { ::unsetenv(name_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
};

class LiveHostTest : public ::testing::Test {
 protected:
  LiveHostTest() {
    char folder[] = "/tmp/velto-live-XXXXXX";
    root_ = ::mkdtemp(folder);
    counter_.emplace("VELTO_FAKE_COUNTER", (root_ / "starts").string());
  }
  ~LiveHostTest() override {
    host_.reset();
    fs::remove_all(root_);
  }

  void start(const std::string& mode, const std::string& laterMode = "",
             const fs::path& extension = VELTO_FAKE_EXTENSION,
             std::vector<WidgetFamily> families = {WidgetFamily::systemSmall}) {
    mode_.emplace("VELTO_FAKE_MODE", mode);
    if (!laterMode.empty()) {
      laterMode_.emplace("VELTO_FAKE_LATER_MODE", laterMode);
    }
    LiveOptions options;
    options.extension = extension;
    options.defaultsFolder = defaults();
    options.log = [this](std::string_view line) { log_.emplace_back(line); };
    options.gaveUp = [this](std::string_view reason) { gaveUp_.emplace_back(reason); };
    auto host = LiveHost::create(context_.get(), std::move(options));
    ASSERT_TRUE(host.has_value()) << host.error();
    host_ = std::move(*host);
    for (const WidgetFamily family : families) {
      ids_.push_back(add(family, backend_));
    }
    host_->start();
  }
  WidgetId add(WidgetFamily family, Backend& backend) { return host_->addWidget(family, backend); }
  bool hasTimeline(WidgetId id) const {
    const WidgetScheduler* scheduler = host_->scheduler(id);
    return scheduler != nullptr && scheduler->timeline().has_value();
  }
  fs::path defaults() const { return root_ / "config" / "velto" / "defaults"; }
  bool until(const std::function<bool()>& done) { return runUntil(context_.get(), done); }

  TestContext context_;
  RecordingBackend backend_;
  fs::path root_;
  std::optional<ScopedEnvironment> counter_;
  std::optional<ScopedEnvironment> mode_;
  std::optional<ScopedEnvironment> laterMode_;
  std::vector<std::string> log_;
  std::vector<std::string> gaveUp_;
  std::unique_ptr<LiveHost> host_;
  std::vector<WidgetId> ids_;
};

TEST_F(LiveHostTest, ShowsThePlaceholderRedactedThenTheTimeline) {
  start("normal");
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 1."); }));
  ASSERT_FALSE(backend_.shows.empty());
  // Whatever came before the timeline was the placeholder, and redacted.
  for (std::size_t i = 0; i + 1 < backend_.shows.size(); ++i) {
    EXPECT_TRUE(backend_.shows[i].redacted);
    EXPECT_EQ("placeholder", backend_.shows[i].text);
  }
  EXPECT_EQ(1, host_->extensionsStarted());
}

TEST_F(LiveHostTest, GivesEachWidgetTheRepliesAskedForIt) {
  start("normal", "", VELTO_FAKE_EXTENSION,
        {WidgetFamily::systemMedium, WidgetFamily::systemSmall, WidgetFamily::systemSmall});
  ASSERT_TRUE(until([&] {
    return std::all_of(ids_.begin(), ids_.end(), [&](WidgetId id) { return hasTimeline(id); });
  }));
  const std::vector<WidgetFamily> families = {WidgetFamily::systemMedium, WidgetFamily::systemSmall,
                                              WidgetFamily::systemSmall};
  for (std::size_t i = 0; i < ids_.size(); ++i) {
    const WidgetScheduler* widget = host_->scheduler(ids_[i]);
    EXPECT_EQ(families[i], widget->family());
    EXPECT_TRUE(widget->showing());
    EXPECT_FALSE(widget->scene().redacted);
  }
  EXPECT_EQ(1, host_->extensionsStarted());
}

TEST_F(LiveHostTest, WidgetsComeAndGoOnTheSameExtension) {
  fs::create_directories(defaults());
  start("normal");
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 1."); }));
  RecordingBackend second;
  const WidgetId added = add(WidgetFamily::systemMedium, second);
  ASSERT_TRUE(until([&] { return second.lastShows("fake 1."); }));
  EXPECT_TRUE(second.shows.front().redacted);

  host_->removeWidget(ids_.front());
  const std::size_t shownBefore = backend_.shows.size();
  const std::string secondBefore = second.shows.back().text;
  std::ofstream(defaults() / "group.app.velto.plist") << "x";
  ASSERT_TRUE(until([&] { return second.shows.back().text != secondBefore; }));
  EXPECT_EQ(shownBefore, backend_.shows.size());
  EXPECT_EQ(nullptr, host_->scheduler(ids_.front()));
  EXPECT_NE(nullptr, host_->scheduler(added));
  EXPECT_EQ(1, host_->extensionsStarted());
}

// Each faulty start must be followed by a restart that the host then shows.
class SurvivesAFaultyExtension : public LiveHostTest,
                                 public ::testing::WithParamInterface<const char*> {};

TEST_P(SurvivesAFaultyExtension, AndShowsTheNextOne) {
  start(GetParam(), "normal");
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 2."); }));
  EXPECT_EQ(2, host_->extensionsStarted());
  for (const Shown& shown : backend_.shows) {
    EXPECT_TRUE(shown.redacted || shown.text.rfind("fake 2.", 0) == 0) << shown.text;
  }
}

INSTANTIATE_TEST_SUITE_P(LiveHost, SurvivesAFaultyExtension,
                         ::testing::Values("crash-start", "crash-third", "hang", "huge-line",
                                           "garbage", "out-of-order", "eof-early", "flood"));

// After a good start, no later fault may take the picture away.
class KeepsTheLastGoodPicture : public LiveHostTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(KeepsTheLastGoodPicture, WhileLaterExtensionsFail) {
  start("normal", GetParam());
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 1."); }));
  const std::size_t shownBefore = backend_.shows.size();
  ::kill(*host_->extensionPid(), SIGKILL);
  ASSERT_TRUE(until([&] { return host_->extensionsStarted() >= 3; }));
  EXPECT_EQ(shownBefore, backend_.shows.size());
  EXPECT_TRUE(backend_.lastShows("fake 1."));
}

INSTANTIATE_TEST_SUITE_P(LiveHost, KeepsTheLastGoodPicture,
                         ::testing::Values("crash-start", "hang", "huge-line", "garbage",
                                           "eof-early", "flood"));

TEST_F(LiveHostTest, RestartsACrashingExtensionNoFasterThanTheBackoff) {
  start("crash-start");
  runFor(context_.get(), std::chrono::milliseconds(1500));
  // 0.25 s, then 0.5 s, then 1 s: at most four starts fit into 1.5 s.
  EXPECT_GE(host_->extensionsStarted(), 2);
  EXPECT_LE(host_->extensionsStarted(), 4);
}

TEST_F(LiveHostTest, ReloadsWhenTheDefaultsChangeEvenAfterTheFolderWasRecreated) {
  fs::create_directories(defaults());
  start("normal");
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 1."); }));
  const std::string first = backend_.shows.back().text;

  fs::remove_all(root_ / "config" / "velto");
  fs::create_directories(defaults());
  ASSERT_TRUE(until([&] { return backend_.shows.back().text != first; }));
  const std::string second = backend_.shows.back().text;

  std::ofstream(defaults() / "group.app.velto.plist") << "x";
  EXPECT_TRUE(until([&] { return backend_.shows.back().text != second; }));
  EXPECT_EQ(1, host_->extensionsStarted());
}

// Waiting cannot bring back a program that is gone: the host gives up at once
// rather than keep the last picture up while retrying forever.
TEST_F(LiveHostTest, GivesUpWhenTheExtensionCanNoLongerBeStarted) {
  const fs::path extension = root_ / "extension";
  fs::copy_file(VELTO_FAKE_EXTENSION, extension);
  start("normal", "", extension);
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 1."); }));
  fs::remove(extension);
  ::kill(*host_->extensionPid(), SIGKILL);
  ASSERT_TRUE(until([&] { return !gaveUp_.empty(); }));
  ASSERT_EQ(1U, gaveUp_.size());
  EXPECT_NE(std::string::npos, gaveUp_.front().find(extension.string())) << gaveUp_.front();
  EXPECT_NE(std::string::npos, gaveUp_.front().find("No such file")) << gaveUp_.front();
  runFor(context_.get(), std::chrono::milliseconds(600));
  EXPECT_EQ(1U, gaveUp_.size());
  EXPECT_EQ(1, host_->extensionsStarted());
  EXPECT_EQ(std::nullopt, host_->extensionPid());
}

TEST_F(LiveHostTest, LogsOneLinePerEvent) {
  start("normal");
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 1."); }));
  ASSERT_FALSE(log_.empty());
  for (const std::string& line : log_) {
    EXPECT_EQ(std::string::npos, line.find('\n')) << line;
  }
}

TEST_F(LiveHostTest, OpensOnlyLinksOnDisplay) {
  start("normal");
  ASSERT_TRUE(until([&] { return backend_.lastShows("fake 1."); }));
  EXPECT_FALSE(host_->openLink("velto://toggle", backend_));
  ASSERT_FALSE(backend_.statuses.empty());
}

}  // namespace
}  // namespace velto::host::live
