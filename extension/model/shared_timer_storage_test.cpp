#include "extension/model/shared_timer_storage.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
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

namespace velto::model {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;
using platform::foundation::Bytes;
using platform::foundation::Date;
using platform::foundation::test_support::base64;
using platform::foundation::test_support::bytesOf;
using platform::foundation::test_support::readFile;
using platform::foundation::test_support::ScopedConfigHome;
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

/// Writes `bytes` as the domain's file as they are, bypassing the writer.
void storeFile(std::string_view domain, std::string_view bytes) {
  fs::create_directories(fileOf(domain).parent_path());
  std::ofstream out(fileOf(domain), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

/// An XML property list whose root dictionary holds `value` (an XML element) under the key.
std::string xmlPlist(std::string_view value) {
  return xmlDomain("\t<key>" + std::string(kKey) + "</key>\n\t" + std::string(value) + "\n");
}

std::string xmlData(std::string_view bytes) {
  return "<data>" + base64(bytes) + "</data>";
}

/// A binary property list put together object by object: references are two
/// bytes, offsets four, and the first object added is the top one. Kept apart
/// from test_support::BinaryPlistBuilder, which sizes offsets to the file and
/// writes every long count as a four-byte integer: built with it, these lists
/// would have other bytes and no longer reach the reader's four-byte offsets or
/// its one- and two-byte counts.
class BinaryPlist {
 public:
  using Object = std::vector<std::uint8_t>;

  void add(Object object) { objects_.push_back(std::move(object)); }
  /// The reference the next object added will have.
  std::uint16_t next() const { return static_cast<std::uint16_t>(objects_.size()); }

  static Object ascii(std::string_view text) { return withBytes(0x50, text); }
  static Object data(std::string_view bytes) { return withBytes(0x40, bytes); }
  static Object array(const std::vector<std::uint16_t>& refs) { return container(0xA0, refs); }
  /// `refs` holds the keys' references, then the values'.
  static Object dictionary(const std::vector<std::uint16_t>& refs) {
    return container(0xD0, refs, refs.size() / 2);
  }

  std::string bytes() const {
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    for (const auto& object : objects_) {
      offsets.push_back(static_cast<std::uint32_t>(out.size()));
      out.append(object.begin(), object.end());
    }
    const auto tableOffset = static_cast<std::uint64_t>(out.size());
    for (const std::uint32_t offset : offsets) {
      appendBigEndian(out, offset, 4);
    }
    out.append(6, '\0');
    out += '\x04';  // offset size
    out += '\x02';  // reference size
    appendBigEndian(out, objects_.size(), 8);
    appendBigEndian(out, 0, 8);  // top object
    appendBigEndian(out, tableOffset, 8);
    return out;
  }

 private:
  static Object header(std::uint8_t marker, std::size_t count) {
    if (count < 15) {
      return {static_cast<std::uint8_t>(marker | count)};
    }
    Object object{static_cast<std::uint8_t>(marker | 0x0F)};
    const int width = count < 0x100 ? 1 : count < 0x10000 ? 2 : 4;
    object.push_back(static_cast<std::uint8_t>(0x10 | (width == 1 ? 0 : width == 2 ? 1 : 2)));
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
      object.push_back(static_cast<std::uint8_t>((count >> shift) & 0xFFu));
    }
    return object;
  }
  static Object withBytes(std::uint8_t marker, std::string_view bytes) {
    Object object = header(marker, bytes.size());
    object.insert(object.end(), bytes.begin(), bytes.end());
    return object;
  }
  static Object container(std::uint8_t marker, const std::vector<std::uint16_t>& refs) {
    return container(marker, refs, refs.size());
  }
  static Object container(std::uint8_t marker, const std::vector<std::uint16_t>& refs,
                          std::size_t count) {
    Object object = header(marker, count);
    for (const std::uint16_t ref : refs) {
      object.push_back(static_cast<std::uint8_t>(ref >> 8));
      object.push_back(static_cast<std::uint8_t>(ref));
    }
    return object;
  }
  static void appendBigEndian(std::string& out, std::uint64_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
      out += static_cast<char>((value >> shift) & 0xFFu);
    }
  }

  std::vector<Object> objects_;
};

/// Adds a value as the next object, then any objects it refers to.
using ValueMaker = std::function<void(BinaryPlist&)>;

/// A binary domain whose root dictionary holds `value` under the key and, when
/// given, `padding` as a data value under another key.
std::string binaryDomain(const ValueMaker& value,
                         const std::optional<std::string>& padding = std::nullopt) {
  BinaryPlist plist;
  if (padding) {
    plist.add(BinaryPlist::dictionary({1, 2, 4, 3}));
    plist.add(BinaryPlist::ascii(kKey));
    plist.add(BinaryPlist::ascii("padding"));
    plist.add(BinaryPlist::data(*padding));
  } else {
    plist.add(BinaryPlist::dictionary({1, 2}));
    plist.add(BinaryPlist::ascii(kKey));
  }
  value(plist);
  return plist.bytes();
}

ValueMaker dataValue(std::string_view bytes) {
  return [bytes](BinaryPlist& plist) { plist.add(BinaryPlist::data(bytes)); };
}

/// Lists nested `depth` deep, each holding its child `fanOut` times: the tree
/// that a reader builds has fanOut^depth leaves.
ValueMaker nestedList(std::size_t depth, std::size_t fanOut) {
  return [depth, fanOut](BinaryPlist& plist) {
    for (std::size_t level = 1; level < depth; ++level) {
      const auto child = static_cast<std::uint16_t>(plist.next() + 1);
      plist.add(BinaryPlist::array(std::vector<std::uint16_t>(fanOut, child)));
    }
    plist.add(BinaryPlist::array({}));
  };
}

/// A binary property list whose top object is a list rather than a dictionary.
std::string binaryListHoldingTheSnapshot() {
  BinaryPlist plist;
  plist.add(BinaryPlist::array({1}));
  plist.add(BinaryPlist::data(kPausedJSON));
  return plist.bytes();
}

std::string randomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string out(size, '\0');
  for (char& c : out) {
    c = static_cast<char>(byte(generator));
  }
  return out;
}

/// What a load must leave behind: the folder's entries with their bytes and times.
std::map<fs::path, std::pair<std::string, std::int64_t>> folderState() {
  std::map<fs::path, std::pair<std::string, std::int64_t>> state;
  const fs::path folder = platform::foundation::defaultsDirectory();
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    const bool regular = S_ISREG(info.st_mode);
    state[entry.path()] = {
        regular ? readFile(entry.path()) : std::string(),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
  }
  return state;
}

/// Loads, checking that it came back promptly and left the stored files alone.
SharedTimerSnapshot loadAndCheck(const char* name,
                                 const std::function<SharedTimerSnapshot()>& load) {
  const auto before = folderState();
  const auto start = std::chrono::steady_clock::now();
  SharedTimerSnapshot snapshot = load();
  const auto took = std::chrono::steady_clock::now() - start;
  // Generous: only a hang or runaway work could come near it.
  EXPECT_LT(took, std::chrono::seconds(1)) << name;
  EXPECT_EQ(before, folderState()) << name << ": load() changed the defaults folder";
  return snapshot;
}

TEST(SharedTimerStorage, FallsBackToEmptyForAnythingButAGoodDataValue) {
  const std::string goodBinary = [] {
    const ScopedConfigHome home;
    storeData(kSuite, kKey, kPausedJSON);
    return readFile(fileOf(kSuite));
  }();
  const auto stored = [](std::string_view json) {
    return [json] { storeData(kSuite, kKey, json); };
  };
  const auto file = [](std::string bytes) { return [bytes] { storeFile(kSuite, bytes); }; };
  const struct {
    const char* name;
    std::function<void()> arrange;
  } cases[] = {
      // Nothing to read.
      {"no defaults folder", [] {}},
      {"no domain file", [] { fs::create_directories(fileOf(kSuite).parent_path()); }},
      {"key missing", [] { storeData(kSuite, "velto.otherKey", kPausedJSON); }},
      {"good object under a differently cased key",
       [] { storeData(kSuite, "velto.SharedTimerSnapshot", kPausedJSON); }},
      {"good object in another domain", [] { storeData("group.app.other", kKey, kPausedJSON); }},
      // A value that is not a data value.
      {"good object stored as a string", [] { storeString(kSuite, kKey, kPausedJSON); }},
      {"dictionary value", file(xmlPlist("<dict><key>state</key><string>paused</string></dict>"))},
      {"integer value", file(xmlPlist("<integer>7</integer>"))},
      {"array holding the data", file(xmlPlist("<array>" + xmlData(kPausedJSON) + "</array>"))},
      // A file that is not a readable property list.
      {"empty file", file("")},
      {"truncated binary plist", file(goodBinary.substr(0, goodBinary.size() / 2))},
      {"binary plist missing its last byte", file(goodBinary.substr(0, goodBinary.size() - 1))},
      {"random bytes", file(randomBytes(4096, 1))},
      {"random bytes after a binary header", file("bplist00" + randomBytes(4096, 2))},
      {"truncated XML plist", file(xmlPlist(xmlData(kPausedJSON)).substr(0, 150))},
      {"JSON text as the file", file(std::string(kPausedJSON))},
      {"root is a list", file(binaryListHoldingTheSnapshot())},
      {"deeply nested binary list inside the cap", file(binaryDomain(nestedList(9000, 1)))},
      {"binary lists sharing children, 2^40 leaves", file(binaryDomain(nestedList(40, 2)))},
      {"good object beside padding, file over 64 KiB",
       file(binaryDomain(dataValue(kPausedJSON), std::string(70'000, 'p')))},
      // Not a regular file.
      {"FIFO at the path",
       [] {
         fs::create_directories(fileOf(kSuite).parent_path());
         ASSERT_EQ(0, ::mkfifo(fileOf(kSuite).c_str(), 0600));
       }},
      {"symlink to /dev/zero",
       [] {
         fs::create_directories(fileOf(kSuite).parent_path());
         fs::create_symlink("/dev/zero", fileOf(kSuite));
       }},
      {"directory at the path", [] { fs::create_directories(fileOf(kSuite)); }},
      // Data that is not a snapshot.
      {"no bytes", stored("")},
      {"not JSON", stored("velto")},
      {"truncated JSON", stored(kPausedJSON.substr(0, kPausedJSON.size() - 1))},
      {"raw NUL after the object", stored("{\"state\":\"paused\",\"elapsedSeconds\":1,"
                                          "\"todaySeconds\":2,\"updatedAt\":3}\0x"sv)},
      {"top level an array", stored("[]")},
      {"state missing", stored(R"({"elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})")},
      {"state null", stored(R"({"state":null,"elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})")},
      {"state a number",
       stored(R"({"state":2,"elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})")},
      {"state in other case",
       stored(R"({"state":"Paused","elapsedSeconds":1,"todaySeconds":2,"updatedAt":3})")},
      {"state twice", stored(R"({"state":"paused","state":"running","elapsedSeconds":1,)"
                             R"("todaySeconds":2,"updatedAt":3})")},
      {"projectName a number", stored(R"({"state":"paused","projectName":7,"elapsedSeconds":1,)"
                                      R"("todaySeconds":2,"updatedAt":3})")},
      {"elapsedSeconds a string",
       stored(R"({"state":"paused","elapsedSeconds":"60","todaySeconds":2,"updatedAt":3})")},
      {"elapsedSeconds null",
       stored(R"({"state":"paused","elapsedSeconds":null,"todaySeconds":2,"updatedAt":3})")},
      {"todaySeconds missing", stored(R"({"state":"paused","elapsedSeconds":1,"updatedAt":3})")},
      {"updatedAt a date string", stored(R"({"state":"paused","elapsedSeconds":1,)"
                                         R"("todaySeconds":2,"updatedAt":"2024-05-01"})")},
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
      {"paused, no project name, binary form", [] { storeData(kSuite, kKey, kPausedJSON); },
       kPaused},
      {"paused, no project name, XML form",
       [] { storeFile(kSuite, xmlPlist(xmlData(kPausedJSON))); }, kPaused},
      // The hand-made binary form that the hostile fixtures above are built with.
      {"hand-made binary form", [] { storeFile(kSuite, binaryDomain(dataValue(kPausedJSON))); },
       kPaused},
      {"hand-made binary form, padded to just under 64 KiB",
       [] { storeFile(kSuite, binaryDomain(dataValue(kPausedJSON), std::string(65'000, 'p'))); },
       kPaused},
      {"beside other keys",
       [] {
         storeString(kSuite, "other", "x");
         storeData(kSuite, kKey, kPausedJSON);
         storeData(kSuite, "velto.sharedTimerSnapshot2", "{}");
       },
       kPaused},
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

TEST(SharedTimerStorage, EveryFallbackCarriesTheSameInstant) {
  const ScopedConfigHome home;
  const SharedTimerSnapshot first = SharedTimerStorage::load();
  storeData(kSuite, kKey, "not JSON");
  const SharedTimerSnapshot second = SharedTimerStorage::load();
  EXPECT_EQ(first, second);
  EXPECT_EQ(SharedTimerSnapshot(State::stopped, std::nullopt, 0.0, 0.0, first.updatedAt), first);
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
      {"suite name that is not reverse-DNS", "velto", false, true, kPaused},
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
