// Drives the real velto-timer program through what goes wrong around it: a
// stored clock from a wrong epoch, a damaged domain file, hostile stored text, a
// folder name that is not UTF-8, and a lock that another program holds.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <unistd.h>

#include "extension/model/shared_timer_storage.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/foundation/unique_fd.hpp"
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
using platform::foundation::test_support::writeFile;
using test_support::lineCount;
using test_support::storedSnapshot;
using test_support::storeSnapshotJson;
using test_support::timer;
using State = SharedTimerSnapshot::State;

Date now() {
  return platform::foundation::SystemClock::shared().now();
}

TEST(VeltoTimerRecovery, StartsAtThePresentWhenTheStoredChangeLiesInAWrongEpoch) {
  // A script that wrote Unix seconds where seconds since 2001 belong.
  const std::string unixNow = std::to_string(static_cast<long long>(
      now().timeIntervalSinceReferenceDate() + platform::foundation::kUnixSecondsAtReferenceDate));
  const std::string future = R"({"state":"running","projectName":"Old","elapsedSeconds":60,)"
                             R"("todaySeconds":60,"updatedAt":)"
                             + unixNow + "}";
  for (const std::vector<std::string>& start :
       {std::vector<std::string>{"start", "Fresh"},
        std::vector<std::string>{"start", "--force", "Forced"}}) {
    const ScopedConfigHome home;
    storeSnapshotJson(future);
    const Date before = now();
    const auto started = timer(start);
    const Date after = now();
    ASSERT_EQ(0, started.status) << started.err;
    EXPECT_EQ(1, lineCount(started.err)) << started.err;
    EXPECT_NE(std::string::npos, started.err.find("ahead of this clock")) << started.err;
    const auto snapshot = storedSnapshot();
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_EQ(State::running, snapshot->state);
    EXPECT_EQ(start.back(), snapshot->projectName);
    EXPECT_LE(before, snapshot->updatedAt);
    EXPECT_GE(after, snapshot->updatedAt);

    // From then on the timer runs on this clock, and status tells no more.
    ASSERT_EQ(0, timer({"toggle"}).status);
    const auto status = timer({"status"});
    EXPECT_EQ(0, status.status) << status.err;
    EXPECT_EQ("", status.err);
    EXPECT_TRUE(status.out.starts_with("paused · " + start.back() + " · 00:00:0")) << status.out;
  }

  // Every other command works too, at the present or at a --at, and counts no
  // time for the unknown interval.
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"toggle"}, std::vector<std::string>{"stop", "--at", "00:00"},
        std::vector<std::string>{"open", "velto://stop"}}) {
    const ScopedConfigHome home;
    storeSnapshotJson(future);
    const auto run = timer(command);
    ASSERT_EQ(0, run.status) << command.front() << ": " << run.err;
    const auto snapshot = storedSnapshot();
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_LE(snapshot->updatedAt, now()) << command.front();
    EXPECT_EQ(60, snapshot->elapsedSeconds) << command.front();
  }

  // A refusal stays one line.
  {
    const ScopedConfigHome home;
    storeSnapshotJson(future);
    const auto refused = timer({"pause", "--at", "2999-01-01T00:00Z"});
    EXPECT_EQ(64, refused.status);
    EXPECT_EQ(1, lineCount(refused.err)) << refused.err;
  }

  // status shows the stored state and says why its numbers stand still.
  const ScopedConfigHome home;
  storeSnapshotJson(future);
  const auto status = timer({"status"});
  EXPECT_EQ(0, status.status) << status.err;
  EXPECT_EQ("running · Old · 00:01:00 · today 1m\n", status.out);
  EXPECT_EQ(1, lineCount(status.err)) << status.err;
}

TEST(VeltoTimerRecovery, StartForceReplacesADamagedDomainFileAndKeepsIt) {
  const ScopedConfigHome home;
  const fs::path file = home.file(SharedTimerStorage::kAppGroupSuiteName);
  const std::string garbage("\x8f\x01random\xff\x00 bytes", 16);
  writeFile(file, garbage);
  for (const std::vector<std::string>& refused :
       {std::vector<std::string>{"start", "A"}, std::vector<std::string>{"toggle"},
        std::vector<std::string>{"status"}}) {
    const auto run = timer(refused);
    EXPECT_EQ(65, run.status) << refused.front();
    EXPECT_NE(std::string::npos, run.err.find("start --force")) << run.err;
  }
  EXPECT_EQ(garbage, readFile(file));

  const auto forced = timer({"start", "--force", "Fresh"});
  ASSERT_EQ(0, forced.status) << forced.err;
  EXPECT_EQ(1, lineCount(forced.err)) << forced.err;
  EXPECT_NE(std::string::npos, forced.err.find(file.native() + ".damaged")) << forced.err;
  EXPECT_EQ(garbage, readFile(file.native() + ".damaged"));
  const auto snapshot = storedSnapshot();
  ASSERT_TRUE(snapshot.has_value());
  EXPECT_EQ(State::running, snapshot->state);
  EXPECT_EQ("Fresh", snapshot->projectName);
  EXPECT_EQ(0, timer({"toggle"}).status);
}

TEST(VeltoTimerRecovery, PrintsStoredAndLinkedTextWithItsControlsEscaped) {
  const ScopedConfigHome home;
  // CSI, OSC, a right-to-left override, ESC and DEL in the project's name.
  const std::string hostile =
      "a\xc2\x9b"
      "31m b\xc2\x9d"
      "0;t\x07 c\xe2\x80\xae"
      "d\x1b[2J\x7f";
  nlohmann::json snapshot = {{"state", "paused"},
                             {"projectName", hostile},
                             {"elapsedSeconds", 5},
                             {"todaySeconds", 5},
                             {"updatedAt", 0}};
  storeSnapshotJson(snapshot.dump());
  const auto harmful = [](const std::string& text) {
    for (const std::string_view bad :
         {"\xc2\x9b", "\xc2\x9d", "\xe2\x80\xae", "\x1b", "\x07", "\x7f"}) {
      if (text.find(bad) != std::string::npos) {
        return true;
      }
    }
    return false;
  };
  const auto status = timer({"status"});
  ASSERT_EQ(0, status.status) << status.err;
  EXPECT_FALSE(harmful(status.out)) << status.out;
  EXPECT_NE(std::string::npos,
            status.out.find("a\\u009b31m b\\u009d0;t\\u0007 c\\u202ed\\u001b[2J\\u007f"))
      << status.out;

  const auto json = timer({"status", "--json"});
  ASSERT_EQ(0, json.status) << json.err;
  EXPECT_FALSE(harmful(json.out)) << json.out;
  EXPECT_TRUE(std::all_of(json.out.begin(), json.out.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80;
  })) << json.out;
  EXPECT_EQ(snapshot, nlohmann::json::parse(json.out));

  const auto link = timer({"open",
                           "velto://\xc2\x9b"
                           "31m\xe2\x80\xae"});
  EXPECT_EQ(64, link.status);
  EXPECT_FALSE(harmful(link.err)) << link.err;
  EXPECT_NE(std::string::npos, link.err.find("velto://\\u009b31m\\u202e")) << link.err;
}

// Registers velto-timer from a copy of the program at `folder` (a symbolic link
// would not do: the program finds itself through /proc/self/exe).
test_support::ProgramRun registerFrom(const fs::path& folder) {
  fs::create_directories(folder);
  const fs::path copy = folder / "velto-timer";
  fs::copy_file(VELTO_TIMER_PROGRAM, copy, fs::copy_options::overwrite_existing);
  return test_support::runProgram(copy, {"register"});
}

TEST(VeltoTimerRecovery, RegistersOnlyEntriesThatTheDesktopReads) {
  const ScopedConfigHome config;
  const TemporaryFolder data;
  const ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().string());
  const ScopedEnvironment dataDirs("XDG_DATA_DIRS", (data.path() / "none").string());
  const fs::path entry = data.path() / "applications" / "velto-timer.desktop";

  // Which paths no entry can run is desktopEntryText's (desktop_entry_test); one will do.
  const auto refused = registerFrom(data.path() / "bad\xff"
                                                  "dir");
  EXPECT_EQ(73, refused.status) << refused.err;
  EXPECT_EQ(1, lineCount(refused.err)) << refused.err;
  EXPECT_EQ(std::string::npos, refused.err.find('\xff')) << refused.err;
  EXPECT_FALSE(fs::exists(entry));

  // Paths that need the Exec key's quoting give entries that desktop-file-validate accepts.
  for (const std::string_view name :
       {"plain", "with space", "dollar$ `and` \"quote\"", "caf\xc3\xa9 back\\slash"}) {
    const auto registered = registerFrom(data.path() / name);
    ASSERT_EQ(0, registered.status) << name << ": " << registered.err;
    const auto validated =
        test_support::runProgram("/usr/bin/desktop-file-validate", {entry.string()});
    EXPECT_EQ(0, validated.status) << name << ": " << validated.out << validated.err;
    EXPECT_EQ("", validated.out + validated.err) << name;
  }
}

// Another program's hold on the domain's lock, as `flock FILE.lock CMD` takes it.
class HeldLock {
 public:
  explicit HeldLock(const fs::path& domainFile)
      : fd_(::open((domainFile.native() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (!fd_ || ::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
      throw std::runtime_error("cannot take the lock");
    }
  }

 private:
  platform::foundation::UniqueFd fd_;
};

TEST(VeltoTimerRecovery, GivesUpOnAHeldLockWithStatus75AndWritesNothing) {
  const ScopedConfigHome home;
  const ScopedEnvironment wait("VELTO_LOCK_WAIT", "0.2");
  const fs::path file = home.file(SharedTimerStorage::kAppGroupSuiteName);
  ASSERT_EQ(0, timer({"start", "A"}).status);
  const std::string before = readFile(file);
  const HeldLock held(file);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"toggle"}, std::vector<std::string>{"open", "velto://stop"},
        std::vector<std::string>{"start", "--force", "B"}}) {
    const auto run = timer(command);
    EXPECT_EQ(75, run.status) << command.front() << ": " << run.err;
    EXPECT_EQ(1, lineCount(run.err)) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(file.native() + ".lock")) << run.err;
    EXPECT_EQ(before, readFile(file)) << command.front();
  }
  // Reading needs no lock.
  EXPECT_EQ(0, timer({"status"}).status);

  const ScopedEnvironment badWait("VELTO_LOCK_WAIT", "soon");
  const auto bad = timer({"toggle"});
  EXPECT_EQ(78, bad.status) << bad.err;
  EXPECT_EQ(before, readFile(file));
}

}  // namespace
}  // namespace velto
