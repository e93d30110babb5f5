#include "extension/model/shared_timer_storage.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "extension/model/internal/shared_timer_storage_internal.hpp"
#include "extension/model/model_test_support.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/foundation/user_defaults.hpp"

// How the defaults files are read, and which bytes decode to a snapshot, have
// their own tests (user_defaults_test, snapshot_json_test). These check what the
// model adds: which domain and key it reads, the data-only rule, and that every
// miss gives the empty snapshot.

namespace velto::model {
namespace {

namespace fs = std::filesystem;
using platform::foundation::Bytes;
using platform::foundation::Date;
using platform::foundation::test_support::base64;
using platform::foundation::test_support::bytesOf;
using platform::foundation::test_support::readFile;
using platform::foundation::test_support::ScopedConfigHome;
using platform::foundation::test_support::writeFile;
using platform::foundation::test_support::xmlDomain;
using State = SharedTimerSnapshot::State;

constexpr std::string_view kSuite = SharedTimerStorage::kAppGroupSuiteName;
constexpr std::string_view kKey = SharedTimerStorage::kSnapshotKey;
constexpr std::string_view kPausedJSON =
    R"({"state":"paused","elapsedSeconds":95.5,"todaySeconds":3600,"updatedAt":-42.25})";

const SharedTimerSnapshot kPaused(State::paused, std::nullopt, 95.5, 3600.0, Date(-42.25));

fs::path fileOf(std::string_view domain) {
  return platform::foundation::defaultsFilePath(domain);
}

void storeData(std::string_view domain, std::string_view key, std::string_view bytes) {
  const Bytes data = bytesOf(bytes);
  ASSERT_TRUE(platform::foundation::writeDefaultsData(domain, key, data).has_value());
}

void storeString(std::string_view domain, std::string_view key, std::string_view text) {
  ASSERT_TRUE(platform::foundation::writeDefaultsString(domain, key, text).has_value());
}

/// An XML property list whose root dictionary holds `value` (an XML element) under the key.
std::string xmlPlist(std::string_view value) {
  return xmlDomain("\t<key>" + std::string(kKey) + "</key>\n\t" + std::string(value) + "\n");
}

/// The folder's entries with their bytes and modification times.
std::map<fs::path, std::pair<std::string, std::int64_t>> folderState() {
  std::map<fs::path, std::pair<std::string, std::int64_t>> state;
  std::error_code error;
  for (const auto& entry :
       fs::directory_iterator(platform::foundation::defaultsDirectory(), error)) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    state[entry.path()] = {
        S_ISREG(info.st_mode) ? readFile(entry.path()) : std::string(),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
  }
  return state;
}

/// Loads, checking that the load left the stored files alone.
SharedTimerSnapshot loadAndCheck(const char* name,
                                 const std::function<SharedTimerSnapshot()>& load) {
  const auto before = folderState();
  SharedTimerSnapshot snapshot = load();
  EXPECT_EQ(before, folderState()) << name << ": load() changed the defaults folder";
  return snapshot;
}

TEST(SharedTimerStorage, FallsBackToEmptyForAnythingButAGoodDataValue) {
  const auto stored = [](std::string_view json) {
    return [json] { storeData(kSuite, kKey, json); };
  };
  const struct {
    const char* name;
    std::function<void()> arrange;
  } cases[] = {
      {"no defaults folder", [] {}},
      {"key missing", [] { storeData(kSuite, "velto.otherKey", kPausedJSON); }},
      {"good object under a differently cased key",
       [] { storeData(kSuite, "velto.SharedTimerSnapshot", kPausedJSON); }},
      {"good object in another domain", [] { storeData("group.app.other", kKey, kPausedJSON); }},
      {"good object stored as a string", [] { storeString(kSuite, kKey, kPausedJSON); }},
      {"array holding the data",
       [] {
         writeFile(fileOf(kSuite),
                   xmlPlist("<array><data>" + base64(kPausedJSON) + "</data></array>"));
       }},
      {"JSON text as the file", [] { writeFile(fileOf(kSuite), kPausedJSON); }},
      // Which bytes do not decode is the decoder's to say; two will do.
      {"not JSON", stored("velto")},
      {"todaySeconds missing", stored(R"({"state":"paused","elapsedSeconds":1,"updatedAt":3})")},
  };
  for (const auto& c : cases) {
    const ScopedConfigHome home;
    c.arrange();
    EXPECT_EQ(SharedTimerSnapshot::empty(), loadAndCheck(c.name, SharedTimerStorage::load))
        << c.name;
  }
}

TEST(SharedTimerStorage, ReadsAGoodDataValueExactly) {
  const SharedTimerSnapshot named(State::running, "Write \"docs\"", 1834.25, 12604.5,
                                  Date(757382400.125));
  const struct {
    const char* name;
    std::function<void()> arrange;
    SharedTimerSnapshot expected;
  } cases[] = {
      {"binary form", [] { storeData(kSuite, kKey, kPausedJSON); }, kPaused},
      {"running with a name and extra keys",
       [] {
         storeData(kSuite, kKey,
                   R"({"extra":[1],"state":"running","projectName":"Write \"docs\"",)"
                   R"("elapsedSeconds":1834.25,"todaySeconds":12604.5,"updatedAt":757382400.125})");
       },
       named},
  };
  for (const auto& c : cases) {
    const ScopedConfigHome home;
    c.arrange();
    EXPECT_EQ(c.expected, loadAndCheck(c.name, SharedTimerStorage::load)) << c.name;
  }
}

TEST(SharedTimerStorage, KeepsNothingBetweenCalls) {
  const ScopedConfigHome home;
  const auto load = [] { return loadAndCheck("load", SharedTimerStorage::load); };
  storeData(kSuite, kKey, kPausedJSON.substr(0, 20));
  EXPECT_EQ(SharedTimerSnapshot::empty(), load());
  storeData(kSuite, kKey, kPausedJSON);
  EXPECT_EQ(kPaused, load());
  storeString(kSuite, kKey, kPausedJSON);
  EXPECT_EQ(SharedTimerSnapshot::empty(), load());
  storeData(kSuite, kKey,
            R"({"state":"running","elapsedSeconds":1,"todaySeconds":2,)"
            R"("updatedAt":3})");
  EXPECT_EQ(State::running, load().state);
  fs::remove(fileOf(kSuite));
  EXPECT_EQ(SharedTimerSnapshot::empty(), load());
}

TEST(SharedTimerStorage, StandardDefaultsStandInOnlyForASuiteThatCannotBeOpened) {
  const struct {
    const char* name;
    std::string_view suite;
    bool suiteHoldsIt;
    bool standardHoldsIt;
    std::optional<SharedTimerSnapshot> expected;  // empty() when absent
  } cases[] = {
      {"empty suite name", "", false, true, kPaused},
      {"suite name with a slash", "group.app/velto", false, true, kPaused},
      {"suite name of the process's own domain", platform::foundation::kProcessDomain, false, true,
       kPaused},
      {"unopenable suite, nothing in the standard defaults", "", false, false, std::nullopt},
      {"the App Group suite opens, empty", kSuite, false, true, std::nullopt},
      {"the App Group suite opens and holds it", kSuite, true, false, kPaused},
  };
  for (const auto& c : cases) {
    const ScopedConfigHome home;
    if (c.suiteHoldsIt) {
      storeData(kSuite, kKey, kPausedJSON);
    }
    if (c.standardHoldsIt) {
      storeData(platform::foundation::kProcessDomain, kKey, kPausedJSON);
    }
    const SharedTimerSnapshot loaded =
        loadAndCheck(c.name, [&c] { return internal::loadSharedSnapshot(c.suite); });
    EXPECT_EQ(c.expected.value_or(SharedTimerSnapshot::empty()), loaded) << c.name;
  }
}

TEST(SharedTimerStorage, OverlappingCallsFromManyThreadsAllReadTheSnapshot) {
  const ScopedConfigHome home;
  storeData(kSuite, kKey, kPausedJSON);
  constexpr int kThreads = 4, kCalls = 50;
  std::vector<int> good(kThreads, 0);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&good, t] {
        for (int i = 0; i < kCalls; ++i) {
          good[static_cast<std::size_t>(t)] += SharedTimerStorage::load() == kPaused ? 1 : 0;
        }
      });
    }
  }
  EXPECT_EQ(std::vector<int>(kThreads, kCalls), good);
}

}  // namespace
}  // namespace velto::model
