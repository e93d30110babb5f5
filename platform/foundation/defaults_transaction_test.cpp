// The writer's guarantees beyond one plain write: text checks, damaged domains,
// leftovers of failed and killed writers, and read-modify-write transactions.

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/foundation/defaults_domain.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/foundation/limits.hpp"
#include "platform/foundation/unique_fd.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace platform::foundation {
namespace {

using test_support::BinaryPlistBuilder;
using test_support::bytesOf;
using test_support::ScopedConfigHome;
using test_support::xmlDomain;
using Code = DefaultsError::Code;

constexpr std::string_view kSuite = "group.app.velto";

std::set<std::string> domainFiles(std::string_view domain = kSuite) {
  return {std::string(domain) + ".plist", std::string(domain) + ".plist.lock"};
}

TEST(WriteDefaults, RefusesKeysAndStringsThatAreNotUtf8AndWritesNothing) {
  const struct {
    std::string_view key;
    std::string_view text;
  } cases[] = {
      // What is well-formed is isValidUtf8's; the writer checks both key and text.
      {"x\xc0\xafy", "ok"},
      {"k", "\xf4\x90\x80\x80"},
  };
  for (const auto& c : cases) {
    const ScopedConfigHome home;
    ASSERT_TRUE(writeDefaultsData(kSuite, "velto.sharedTimerSnapshot", bytesOf("{}")));
    const std::string before = test_support::readFile(home.file(kSuite));
    const auto written = writeDefaultsString(kSuite, c.key, c.text);
    ASSERT_FALSE(written.has_value()) << testing::PrintToString(c.key);
    EXPECT_EQ(Code::invalidText, written.error().code) << written.error().message;
    EXPECT_EQ(before, test_support::readFile(home.file(kSuite)));
    const auto keys = listDefaultsKeys(kSuite);
    ASSERT_TRUE(keys.has_value());
    EXPECT_EQ(1u, keys->size());
  }
}

TEST(ReadDefaults, TakesADomainWithADuplicateKeyAsDamaged) {
  BinaryPlistBuilder builder;
  builder.addDictionary({{1, 2}, {1, 3}});
  builder.addAscii("velto.sharedTimerSnapshot");
  builder.addData("first");
  builder.addData("second");
  BinaryPlistBuilder nested;
  nested.addDictionary({{1, 2}});
  nested.addAscii("outer");
  nested.addDictionary({{3, 4}, {3, 4}});
  nested.addAscii("inner");
  nested.addData("x");
  const struct {
    const char* name;
    std::string contents;
  } cases[] = {
      {"XML", xmlDomain("<key>k</key><data>YQ==</data><key>k</key><data>Yg==</data>\n")},
      {"binary", builder.build(0)},
      {"binary, nested", nested.build(0)},
  };
  for (const auto& c : cases) {
    const ScopedConfigHome home;
    test_support::writeFile(home.file(kSuite), c.contents);
    const auto keys = listDefaultsKeys(kSuite);
    ASSERT_FALSE(keys.has_value()) << c.name;
    EXPECT_EQ(Code::malformed, keys.error().code) << c.name;
    EXPECT_EQ(std::nullopt, UserDefaults::withSuiteName(kSuite)->dataForKey("k")) << c.name;
    EXPECT_EQ(std::nullopt,
              UserDefaults::withSuiteName(kSuite)->dataForKey("velto.sharedTimerSnapshot"))
        << c.name;
    const auto written = writeDefaultsData(kSuite, "k", bytesOf("new"));
    ASSERT_FALSE(written.has_value()) << c.name;
    EXPECT_EQ(Code::malformed, written.error().code) << c.name;
    EXPECT_EQ(c.contents, test_support::readFile(home.file(kSuite))) << c.name;
  }
}

TEST(WriteDefaults, AcceptsTheLongestDomainNameTheFileSystemHolds) {
  const ScopedConfigHome home;
  const std::string longest(kMaxDefaultsDomainLength, 'a');
  ASSERT_TRUE(writeDefaultsData(longest, "k", bytesOf("ok")));
  const auto value = readDefaultsValue(longest, "k");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(bytesOf("ok"), value->bytes);

  const auto tooLong = writeDefaultsData(longest + "a", "k", bytesOf("ok"));
  ASSERT_FALSE(tooLong.has_value());
  EXPECT_EQ(Code::invalidArgument, tooLong.error().code);
  EXPECT_EQ(domainFiles(longest), test_support::listFolder(home.defaultsFolder()));
}

TEST(WriteDefaults, LeavesNoLockFileWhenItCreatesNoDomain) {
  const ScopedConfigHome home;
  const auto tooLarge = writeDefaultsData(kSuite, "k", Bytes(kMaxDomainFileSize - 10, 1));
  ASSERT_FALSE(tooLarge.has_value());
  EXPECT_EQ(Code::tooLarge, tooLarge.error().code);
  EXPECT_TRUE(test_support::listFolder(home.defaultsFolder()).empty());

  const auto refused =
      updateDefaultsValue(kSuite, "k",
                          [](const std::optional<DefaultsValue>&)
                              -> Expected<std::optional<DefaultsValue>, DefaultsError> {
                            return Unexpected(DefaultsError{Code::invalidArgument, "no"});
                          });
  ASSERT_FALSE(refused.has_value());
  EXPECT_TRUE(test_support::listFolder(home.defaultsFolder()).empty());
}

TEST(WriteDefaults, RemovesTemporaryFilesOfKilledWritersButNotOfLiveOnes) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("ok")));
  const auto folder = home.defaultsFolder();
  const std::string base = std::string(kSuite) + ".plist.";
  for (const std::string& name : {base + "AbC123", base + "zz9ZZ9", base + "notes", base + "AbC12!",
                                  std::string("other.plist.AbC123")}) {
    test_support::writeFile(folder / name, "left over");
  }
  // A writer at work holds a flock on its temporary file.
  test_support::writeFile(folder / (base + "Live00"), "being written");
  const UniqueFd live(::open((folder / (base + "Live00")).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(0, ::flock(live.get(), LOCK_EX));

  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("again")));
  std::set<std::string> expected = domainFiles();
  expected.insert({base + "notes", base + "AbC12!", "other.plist.AbC123", base + "Live00"});
  EXPECT_EQ(expected, test_support::listFolder(folder));
}

Expected<std::optional<DefaultsValue>, DefaultsError> increment(
    const std::optional<DefaultsValue>& current) {
  const int count =
      current ? std::stoi(std::string(current->bytes.begin(), current->bytes.end())) : 0;
  return std::optional(
      DefaultsValue{DefaultsValueType::string, bytesOf(std::to_string(count + 1))});
}

TEST(UpdateDefaultsValue, ChangesOneValueAndKeepsTheOthers) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "other", bytesOf("kept")));
  ASSERT_TRUE(updateDefaultsValue(kSuite, "count", increment));
  ASSERT_TRUE(updateDefaultsValue(kSuite, "count", increment));
  EXPECT_EQ("2", UserDefaults::withSuiteName(kSuite)->stringForKey("count"));
  EXPECT_EQ(bytesOf("kept"), UserDefaults::withSuiteName(kSuite)->dataForKey("other"));
}

TEST(UpdateDefaultsValue, WritesNothingWhenTheChangeKeepsTheValue) {
  const ScopedConfigHome home;
  const auto keep = [](const std::optional<DefaultsValue>&)
      -> Expected<std::optional<DefaultsValue>, DefaultsError> { return std::nullopt; };
  ASSERT_TRUE(updateDefaultsValue(kSuite, "k", keep));
  EXPECT_TRUE(test_support::listFolder(home.defaultsFolder()).empty());

  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("ok")));
  const auto before = std::filesystem::last_write_time(home.file(kSuite));
  const std::string bytes = test_support::readFile(home.file(kSuite));
  ASSERT_TRUE(updateDefaultsValue(kSuite, "k", keep));
  EXPECT_EQ(before, std::filesystem::last_write_time(home.file(kSuite)));
  EXPECT_EQ(bytes, test_support::readFile(home.file(kSuite)));
}

TEST(UpdateDefaultsValue, RefusesValuesOfOtherTypes) {
  const ScopedConfigHome home;
  const auto refused =
      updateDefaultsValue(kSuite, "k",
                          [](const std::optional<DefaultsValue>&)
                              -> Expected<std::optional<DefaultsValue>, DefaultsError> {
                            return std::optional(DefaultsValue{DefaultsValueType::integer, {}});
                          });
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(Code::invalidArgument, refused.error().code);
  EXPECT_TRUE(test_support::listFolder(home.defaultsFolder()).empty());
}

// writeDefaultsData and deleteDefaultsKey take the same lock through the same path.
TEST(UpdateDefaultsValue, ConcurrentTransactionsLoseNoUpdate) {
  const ScopedConfigHome home;
  constexpr int kThreads = 4;
  constexpr int kEach = 20;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&failures] {
      for (int i = 0; i < kEach; ++i) {
        if (!updateDefaultsValue(kSuite, "count", increment)) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(std::to_string(kThreads * kEach),
            UserDefaults::withSuiteName(kSuite)->stringForKey("count"));
  EXPECT_EQ(domainFiles(), test_support::listFolder(home.defaultsFolder()));
}

// Another program's hold on the domain's lock, as `flock FILE.lock CMD` takes it.
class HeldLock {
 public:
  explicit HeldLock(const std::filesystem::path& domainFile)
      : fd_(::open((domainFile.native() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (!fd_ || ::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
      throw std::runtime_error("cannot take the lock");
    }
  }
  void release() { (void)fd_.close(); }

 private:
  UniqueFd fd_;
};

TEST(WriteDefaults, GivesUpOnALockHeldLongerThanItsWaitAndWritesNothing) {
  const DefaultsWriteOptions noWait{.lockWait = std::chrono::milliseconds(0)};
  const DefaultsWriteOptions shortWait{.lockWait = std::chrono::milliseconds(30)};
  const struct {
    const char* name;
    std::function<Expected<void, DefaultsError>()> write;
  } writes[] = {
      {"data", [&] { return writeDefaultsData(kSuite, "k", bytesOf("new"), noWait); }},
      {"string", [&] { return writeDefaultsString(kSuite, "k", "new", shortWait); }},
      {"delete", [&] { return deleteDefaultsKey(kSuite, "k", noWait); }},
      {"update",
       [&]() -> Expected<void, DefaultsError> {
         auto updated = updateDefaultsValue(
             kSuite, "k",
             [](const std::optional<DefaultsValue>&)
                 -> Expected<std::optional<DefaultsValue>, DefaultsError> {
               ADD_FAILURE() << "the change ran without the lock";
               return std::optional<DefaultsValue>();
             },
             shortWait);
         if (!updated) {
           return Unexpected(updated.error());
         }
         return {};
       }},
  };
  for (const auto& w : writes) {
    const ScopedConfigHome home;
    ASSERT_TRUE(writeDefaultsString(kSuite, "k", "old"));
    const std::string before = test_support::readFile(home.file(kSuite));
    HeldLock held(home.file(kSuite));
    const auto written = w.write();
    ASSERT_FALSE(written.has_value()) << w.name;
    EXPECT_EQ(Code::busy, written.error().code) << w.name;
    EXPECT_NE(std::string::npos,
              written.error().message.find(kSuite.data() + std::string(".plist.lock")))
        << w.name << ": " << written.error().message;
    EXPECT_EQ(75, sysexitsStatus(written.error().code));
    EXPECT_EQ(before, test_support::readFile(home.file(kSuite))) << w.name;
    EXPECT_EQ(domainFiles(), test_support::listFolder(home.defaultsFolder())) << w.name;
  }
}

TEST(WriteDefaults, WritesOnceALockHeldForAWhileIsReleased) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsString(kSuite, "k", "old"));
  HeldLock held(home.file(kSuite));
  std::atomic<bool> done = false;
  // The wait only guards against a hang; the release comes whenever the thread runs.
  std::thread writer([&done] {
    EXPECT_TRUE(writeDefaultsString(kSuite, "k", "new", {.lockWait = std::chrono::minutes(5)}));
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(done);
  held.release();
  writer.join();
  EXPECT_EQ("new", UserDefaults::withSuiteName(kSuite)->stringForKey("k"));
}

TEST(UpdateDefaultsValue, SetsADamagedDomainAsideOnlyWhenAsked) {
  const ScopedConfigHome home;
  const std::filesystem::path file = home.file(kSuite);
  const auto store = [](std::string_view text) -> DefaultsChange {
    return [value = std::string(text)](const std::optional<DefaultsValue>& current)
               -> Expected<std::optional<DefaultsValue>, DefaultsError> {
      EXPECT_FALSE(current.has_value()) << "a damaged domain reads as a missing one";
      return std::optional(DefaultsValue{DefaultsValueType::data, bytesOf(value)});
    };
  };
  test_support::writeFile(file, "random \x01\xff bytes");
  const auto refused = updateDefaultsValue(kSuite, "k", store("new"));
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(Code::malformed, refused.error().code);
  EXPECT_EQ("random \x01\xff bytes", test_support::readFile(file));

  // Nothing to store leaves the damaged file where it is.
  const auto kept =
      updateDefaultsValue(kSuite, "k",
                          [](const std::optional<DefaultsValue>&)
                              -> Expected<std::optional<DefaultsValue>, DefaultsError> {
                            return std::optional<DefaultsValue>();
                          },
                          {.setAsideDamaged = true});
  ASSERT_TRUE(kept.has_value());
  EXPECT_FALSE(kept->damagedCopy.has_value());
  EXPECT_EQ("random \x01\xff bytes", test_support::readFile(file));

  const auto replaced = updateDefaultsValue(kSuite, "k", store("first"), {.setAsideDamaged = true});
  ASSERT_TRUE(replaced.has_value()) << replaced.error().message;
  ASSERT_TRUE(replaced->damagedCopy.has_value());
  EXPECT_EQ(file.native() + ".damaged", replaced->damagedCopy->native());
  EXPECT_EQ("random \x01\xff bytes", test_support::readFile(*replaced->damagedCopy));
  EXPECT_EQ(bytesOf("first"), UserDefaults::withSuiteName(kSuite)->dataForKey("k"));

  // An earlier copy is never overwritten.
  test_support::writeFile(file, "damaged again");
  const auto again = updateDefaultsValue(kSuite, "k", store("second"), {.setAsideDamaged = true});
  ASSERT_TRUE(again.has_value()) << again.error().message;
  EXPECT_EQ(file.native() + ".damaged.2", again->damagedCopy->native());
  EXPECT_EQ("random \x01\xff bytes", test_support::readFile(file.native() + ".damaged"));
  EXPECT_EQ("damaged again", test_support::readFile(*again->damagedCopy));
  EXPECT_EQ(bytesOf("second"), UserDefaults::withSuiteName(kSuite)->dataForKey("k"));
}

TEST(LockWait, ReadsSecondsFromZeroToTenMinutes) {
  EXPECT_EQ(kDefaultLockWait, lockWaitFrom(nullptr).value());
  EXPECT_EQ(std::chrono::milliseconds(0), lockWaitFrom("0").value());
  EXPECT_EQ(std::chrono::milliseconds(250), lockWaitFrom("0.25").value());
  EXPECT_EQ(std::chrono::milliseconds(600'000), lockWaitFrom("600").value());
  for (const char* bad : {"", "-1", "600.5", "5s", "1e3", " 5", "nan", "inf", "0x10"}) {
    const auto wait = lockWaitFrom(bad);
    ASSERT_FALSE(wait.has_value()) << bad;
    EXPECT_EQ(Code::invalidArgument, wait.error().code) << bad;
  }
}

}  // namespace
}  // namespace platform::foundation
