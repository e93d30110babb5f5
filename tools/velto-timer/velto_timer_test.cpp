// Drives the real velto-timer program against a private defaults folder, and the
// real widget extension beside it when that is built.

#include <cmath>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "extension/model/shared_timer_storage.hpp"
#include "extension/model/snapshot_json.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/foundation/defaults_domain.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"
#include "tools/velto-timer/velto_timer_test_support.hpp"

namespace velto {
namespace {

namespace fs = std::filesystem;
using model::SharedTimerSnapshot;
using model::SharedTimerStorage;
using platform::foundation::Date;
using platform::foundation::test_support::readFile;
using platform::foundation::test_support::ScopedConfigHome;
using platform::foundation::test_support::ScopedEnvironment;
using platform::foundation::test_support::TemporaryFolder;
using State = SharedTimerSnapshot::State;
using Json = nlohmann::json;

using test_support::lineCount;
using test_support::timer;
constexpr auto stored = test_support::storedSnapshot;
constexpr auto store = test_support::storeSnapshotJson;

// An instant a whole number of seconds in the past, as ISO-8601 in UTC.
std::string isoSecondsAgo(std::time_t base, int seconds) {
  const std::time_t instant = base - seconds;
  std::tm utc{};
  ::gmtime_r(&instant, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

TEST(VeltoTimer, KeepsOneTimerThroughItsCommands) {
  const ScopedConfigHome home;
  const std::time_t base = std::time(nullptr);
  ASSERT_TRUE(platform::foundation::writeDefaultsString(SharedTimerStorage::kAppGroupSuiteName,
                                                        "other", "kept"));
  const auto started = timer({"start", "Deep Work", "--at", isoSecondsAgo(base, 60)});
  ASSERT_EQ(0, started.status) << started.err;
  const auto paused = timer({"pause", "--at", isoSecondsAgo(base, 58)});
  ASSERT_EQ(0, paused.status) << paused.err;
  const auto status = timer({"status"});
  EXPECT_EQ(0, status.status) << status.err;
  EXPECT_EQ("paused · Deep Work · 00:00:02 · today 0m\n", status.out);

  const auto snapshot = stored();
  ASSERT_TRUE(snapshot.has_value());
  EXPECT_EQ(SharedTimerSnapshot(State::paused, "Deep Work", 2, 2,
                                Date::fromUnixSeconds(static_cast<double>(base - 58))),
            *snapshot);
  const auto json = timer({"status", "--json"});
  EXPECT_EQ(0, json.status);
  EXPECT_EQ(*model::encodeSnapshot(*snapshot) + "\n", json.out);

  EXPECT_EQ(0, timer({"open", "velto://toggle"}).status);
  EXPECT_EQ(State::running, stored()->state);
  EXPECT_EQ(0, timer({"open", "velto://stop"}).status);
  EXPECT_EQ(State::stopped, stored()->state);
  EXPECT_EQ("kept", platform::foundation::UserDefaults::withSuiteName(
                        SharedTimerStorage::kAppGroupSuiteName)
                        ->stringForKey("other"));
}

TEST(VeltoTimer, LeavesAnAbsentProjectNameAbsent) {
  const ScopedConfigHome home;
  store(R"({"state":"paused","elapsedSeconds":5,"todaySeconds":5,"updatedAt":0})");
  ASSERT_EQ(0, timer({"toggle"}).status);
  const auto value = platform::foundation::readDefaultsValue(SharedTimerStorage::kAppGroupSuiteName,
                                                             SharedTimerStorage::kSnapshotKey);
  ASSERT_TRUE(value.has_value());
  const Json written = Json::parse(value->bytes);
  EXPECT_EQ("running", written.at("state"));
  EXPECT_FALSE(written.contains("projectName")) << written.dump();
}

TEST(VeltoTimer, RefusesBadInputWithOneLineAndChangesNothing) {
  const std::string good =
      R"({"state":"running","projectName":"A","elapsedSeconds":1,"todaySeconds":1,"updatedAt":)"
      + std::to_string(
          platform::foundation::SystemClock::shared().now().timeIntervalSinceReferenceDate() - 60)
      + "}";
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string storedJson;  // empty: the good snapshot
  };
  const Case cases[] = {
      {"no command", {}, 64, ""},
      {"unknown command", {"frobnicate"}, 64, ""},
      {"unknown flag", {"pause", "--bogus"}, 64, ""},
      {"two projects", {"start", "a", "b"}, 64, ""},
      {"bad --at", {"pause", "--at", "9 o'clock"}, 64, ""},
      {"--at in the future", {"pause", "--at", "2999-01-01T00:00Z"}, 64, ""},
      {"--at before the last change", {"pause", "--at", "2001-01-01T00:00Z"}, 64, ""},
      {"project not UTF-8", {"start", "Deep\xff"}, 65, ""},
      {"project too long", {"start", std::string(1001, 'p')}, 65, ""},
      // Which links count is commandForLink's; one stands for the refused ones.
      {"another scheme", {"open", "https://example.org"}, 64, ""},
      {"resume with no timer",
       {"resume"},
       65,
       R"({"state":"stopped","elapsedSeconds":1,"todaySeconds":1,"updatedAt":0})"},
      {"a damaged snapshot", {"toggle"}, 65, R"({"state":"runnin","elapsedSeconds":1})"},
      {"a damaged snapshot, started", {"start", "B"}, 65, "not JSON"},
  };
  for (const Case& c : cases) {
    const ScopedConfigHome home;
    store(c.storedJson.empty() ? good : c.storedJson);
    const std::string before = readFile(home.file(SharedTimerStorage::kAppGroupSuiteName));
    const auto run = timer(c.arguments);
    EXPECT_EQ(c.status, run.status) << c.name << ": " << run.err;
    EXPECT_TRUE(run.err.starts_with("velto-timer: ")) << c.name << ": " << run.err;
    EXPECT_EQ(1, lineCount(run.err)) << c.name << ": " << run.err;
    EXPECT_EQ("", run.out) << c.name;
    EXPECT_EQ(before, readFile(home.file(SharedTimerStorage::kAppGroupSuiteName))) << c.name;
  }
}

TEST(VeltoTimer, RefusesDomainFilesItCannotReadAndWritesNothing) {
  const struct {
    const char* name;
    void (*make)(const fs::path&);
    int status;
  } cases[] = {
      {"a FIFO", [](const fs::path& p) { ASSERT_EQ(0, ::mkfifo(p.c_str(), 0600)); }, 66},
      {"a folder", [](const fs::path& p) { fs::create_directories(p); }, 66},
      // A damaged property list is velto_timer_recovery_test's.
  };
  for (const auto& c : cases) {
    const ScopedConfigHome home;
    const fs::path file = home.file(SharedTimerStorage::kAppGroupSuiteName);
    fs::create_directories(file.parent_path());
    c.make(file);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"start", "A"}, std::vector<std::string>{"status"}}) {
      const auto run = timer(arguments);
      EXPECT_EQ(c.status, run.status) << c.name << ": " << run.err;
      EXPECT_EQ(1, lineCount(run.err)) << c.name;
    }
    EXPECT_FALSE(fs::is_regular_file(file)) << c.name;
  }
}

TEST(VeltoTimer, ReplacesADamagedSnapshotOnlyWhenForced) {
  const ScopedConfigHome home;
  ASSERT_TRUE(platform::foundation::writeDefaultsString(SharedTimerStorage::kAppGroupSuiteName,
                                                        SharedTimerStorage::kSnapshotKey, "{}"));
  EXPECT_EQ(65, timer({"stop"}).status);
  EXPECT_EQ(65, timer({"status"}).status);
  const auto forced = timer({"start", "--force", "Fresh"});
  ASSERT_EQ(0, forced.status) << forced.err;
  const auto snapshot = stored();
  ASSERT_TRUE(snapshot.has_value());
  EXPECT_EQ(State::running, snapshot->state);
  EXPECT_EQ("Fresh", snapshot->projectName);
  EXPECT_EQ(0.0, snapshot->todaySeconds);
}

TEST(VeltoTimer, TwentyConcurrentTogglesLoseNoTime) {
  const ScopedConfigHome home;
  const std::time_t base = std::time(nullptr);
  ASSERT_EQ(0, timer({"start", "Race", "--at", isoSecondsAgo(base, 0)}).status);
  const auto start = stored();
  ASSERT_TRUE(start.has_value());

  constexpr int kToggles = 20;
  std::vector<pid_t> children;
  for (int i = 0; i < kToggles; ++i) {
    std::string program = VELTO_TIMER_PROGRAM;
    std::string command = "toggle";
    char* argv[] = {program.data(), command.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(0, ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ));
    children.push_back(pid);
  }
  int succeeded = 0;
  for (const pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    succeeded += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
  }
  EXPECT_EQ(kToggles, succeeded);
  const auto end = stored();
  ASSERT_TRUE(end.has_value());
  // An even number of toggles leaves the timer running; every interval in which it
  // ran is counted once, so no more time than passed, and the day's total moved with it.
  EXPECT_EQ(State::running, end->state);
  EXPECT_EQ("Race", end->projectName);
  const double passed = end->updatedAt.timeIntervalSince(start->updatedAt);
  EXPECT_GE(end->elapsedSeconds, 0.0);
  EXPECT_LE(end->elapsedSeconds, passed);
  EXPECT_DOUBLE_EQ(end->elapsedSeconds - start->elapsedSeconds,
                   end->todaySeconds - start->todaySeconds);
}

// Asks GIO, in a child process so that no cache of GIO's outlives the check,
// which program opens velto: links; the child exits 0 when it is velto-timer at
// `program` (or, with `expectHandler` false, when it is not velto-timer).
int handlerCheck(const std::string& program, bool expectHandler) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    GAppInfo* handler = g_app_info_get_default_for_uri_scheme("velto");
    int result = 0;
    if (!expectHandler) {
      result = handler == nullptr
                       || std::string_view(g_app_info_get_id(handler)) != "velto-timer.desktop"
                   ? 0
                   : 1;
    } else if (handler == nullptr) {
      result = 2;
    } else if (std::string_view(g_app_info_get_id(handler)) != "velto-timer.desktop") {
      result = 3;
    } else if (program != g_app_info_get_executable(handler)) {
      result = 4;
    }
    ::_exit(result);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(VeltoTimer, RegistersAsTheHandlerOfVeltoLinksAndUnregisters) {
  const ScopedConfigHome config;
  const TemporaryFolder data;
  const ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().string());
  const ScopedEnvironment dataDirs("XDG_DATA_DIRS", (data.path() / "none").string());

  const auto registered = timer({"register"});
  ASSERT_EQ(0, registered.status) << registered.err;
  const fs::path entry = data.path() / "applications" / "velto-timer.desktop";
  const std::string text = readFile(entry);
  EXPECT_NE(std::string::npos,
            text.find("Exec=" + fs::canonical(VELTO_TIMER_PROGRAM).string() + " open %u\n"));
  EXPECT_EQ(0, handlerCheck(fs::canonical(VELTO_TIMER_PROGRAM).string(), true));

  const auto again = timer({"register"});
  EXPECT_EQ(0, again.status) << again.err;

  const auto unregistered = timer({"unregister"});
  ASSERT_EQ(0, unregistered.status) << unregistered.err;
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_EQ(0, handlerCheck("", false));
  EXPECT_EQ(0, timer({"unregister"}).status);
}

// Every text content in a view tree, as the archive writes it.
void collectTexts(const Json& node, std::vector<Json>& texts) {
  if (node.is_object()) {
    if (node.contains("kind") && (node.at("kind") == "verbatim" || node.at("kind") == "timer")) {
      texts.push_back(node);
    }
    for (const auto& [key, value] : node.items()) {
      collectTexts(value, texts);
    }
  } else if (node.is_array()) {
    for (const auto& value : node) {
      collectTexts(value, texts);
    }
  }
}

TEST(VeltoTimer, StartedTimerRunsInTheRealWidget) {
  const fs::path extension = fs::path(VELTO_PROGRAM_DIR) / "velto-widget-extension";
  if (!fs::exists(extension)) {
    GTEST_SKIP() << "the widget extension is not built";
  }
  const ScopedConfigHome home;
  const auto started = timer({"start", "Deep Work"});
  ASSERT_EQ(0, started.status) << started.err;
  const auto snapshot = stored();
  ASSERT_TRUE(snapshot.has_value());

  const auto served = test_support::runProgram(
      extension, {},
      R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":1}})"
      "\n"
      R"({"jsonrpc":"2.0","id":2,"method":"timeline","params":{"kind":"VeltoTimerWidget","family":"systemSmall"}})"
      "\n");
  ASSERT_EQ(0, served.status) << served.err;
  const auto newline = served.out.find('\n');
  ASSERT_NE(std::string::npos, newline) << served.out;
  const Json reply = Json::parse(served.out.substr(newline + 1));
  const Json& entries = reply.at("result").at("entries");
  ASSERT_FALSE(entries.empty()) << reply.dump();
  std::vector<Json> texts;
  collectTexts(entries[0].at("view"), texts);
  EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(),
                                   Json({{"kind", "verbatim"}, {"string", "Deep Work"}})));
  const double anchor = snapshot->updatedAt.timeIntervalSinceReferenceDate();
  EXPECT_NE(texts.end(),
            std::find(texts.begin(), texts.end(), Json({{"kind", "timer"}, {"anchor", anchor}})))
      << entries[0].at("view").dump();
}

}  // namespace
}  // namespace velto
