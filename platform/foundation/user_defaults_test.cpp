#include "platform/foundation/user_defaults.hpp"

#include <chrono>
#include <functional>
#include <future>
#include <random>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"

namespace platform::foundation {
namespace {

using namespace std::chrono_literals;
using test_support::binaryDomainWithChain;
using test_support::binaryDomainWithDoublingLists;
using test_support::binaryDomainWithNestedLists;
using test_support::BinaryPlistBuilder;
using test_support::bytesOf;
using test_support::ScopedConfigHome;
using test_support::ScopedEnvironment;
using test_support::xmlDomain;

constexpr std::string_view kSuite = "group.app.velto";

std::string passwordDatabaseHome() {
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr ? entry->pw_dir : "";
}

TEST(DefaultsDirectory, FollowsXdgConfigHomeThenHomeThenThePasswordDatabase) {
  struct Case {
    std::optional<std::string> xdgConfigHome;
    std::optional<std::string> home;
    std::string expected;
  };
  const std::string fallback = passwordDatabaseHome() + "/.config/velto/defaults";
  const Case cases[] = {
      {"/x/config", "/h", "/x/config/velto/defaults"},
      {"", "/h", "/h/.config/velto/defaults"},
      {"relative/config", "/h", "/h/.config/velto/defaults"},
      {std::nullopt, "/h", "/h/.config/velto/defaults"},
      {std::nullopt, "relative", fallback},
      {std::nullopt, "", fallback},
      {std::nullopt, std::nullopt, fallback},
  };
  for (const Case& c : cases) {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
    const ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(c.expected, defaultsDirectory().string())
        << "XDG_CONFIG_HOME=" << c.xdgConfigHome.value_or("(unset)")
        << " HOME=" << c.home.value_or("(unset)");
  }
}

TEST(DefaultsFilePath, NamesThePlistOfTheDomainInTheDefaultsFolder) {
  const ScopedEnvironment xdg("XDG_CONFIG_HOME", "/x/config");
  EXPECT_EQ("/x/config/velto/defaults/group.app.velto.plist", defaultsFilePath(kSuite).string());
  EXPECT_TRUE(defaultsFilePath("../escape").empty());
  EXPECT_TRUE(defaultsFilePath("a/b").empty());
}

TEST(IsValidDefaultsDomain, AcceptsFileSafeNamesOnly) {
  struct Case {
    std::string_view name;
    bool valid;
  };
  const Case cases[] = {
      {"group.app.velto", true},
      {"app.velto.widget", true},
      {"velto", true},
      {"Some_Name-2", true},
      {std::string_view("x", 1), true},
      {"", false},
      {".", false},
      {"..", false},
      {".hidden", false},
      {"a..b", false},
      {"a/b", false},
      {"/abs", false},
      {"with space", false},
      {"tab\tname", false},
      {"line\nbreak", false},
      {std::string_view("nul\0x", 5), false},
      {"caf\xc3\xa9", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.valid, isValidDefaultsDomain(c.name))
        << ::testing::PrintToString(std::string(c.name));
  }
  // The writer's temporary file, `<domain>.plist.XXXXXX`, must fit 255 bytes.
  EXPECT_TRUE(isValidDefaultsDomain(std::string(242, 'a')));
  EXPECT_FALSE(isValidDefaultsDomain(std::string(243, 'a')));
}

TEST(UserDefaultsWithSuiteName, AcceptsReverseDnsNamesOtherThanTheProcessDomain) {
  struct Case {
    std::string_view name;
    bool accepted;
  };
  const Case cases[] = {
      {"group.app.velto", true},
      {"a.b", true},
      {"com.example-app.v2", true},
      {"0.9", true},
      {"", false},
      {"velto", false},
      {".app.velto", false},
      {"app.velto.", false},
      {"app..velto", false},
      {"app/velto.x", false},
      {"app.velto/x", false},
      {std::string_view("app.velto\0x", 11), false},
      {"app.velto widget", false},
      {"app_velto.widget", false},
      {"app.v\xc3\xa9lto", false},
      {"app.velto.widget", false},
  };
  for (const Case& c : cases) {
    const auto defaults = UserDefaults::withSuiteName(c.name);
    EXPECT_EQ(c.accepted, defaults.has_value()) << ::testing::PrintToString(std::string(c.name));
    if (defaults) {
      EXPECT_EQ(c.name, defaults->domain());
    }
  }
}

std::string xmlNestedLists(std::size_t depth) {
  std::string lists;
  for (std::size_t i = 0; i < depth; ++i) {
    lists += "<array>";
  }
  for (std::size_t i = 0; i < depth; ++i) {
    lists += "</array>";
  }
  return lists;
}

TEST(UserDefaults, ReadsDataAndStringValuesInBothForms) {
  struct Case {
    const char* name;
    std::string file;
    std::string_view key;
    std::optional<Bytes> data;
    std::optional<std::string> text;
  };
  const Bytes awkward{0x00, 0xFF, 0x10, 0x80};
  BinaryPlistBuilder binary;
  binary.addDictionary({{1, 2}, {3, 4}});
  binary.addAscii("d");
  binary.addData(std::string_view("\0\xff\x10\x80", 4));
  binary.addAscii("s");
  binary.addAscii("text");
  const std::string binaryFile = binary.build(0);
  const std::string xmlFile = xmlDomain(
      "<key>d</key><data>AP8QgA==</data>\n"
      "<key>s</key><string>caf\xc3\xa9 &amp; more</string>\n"
      "<key>e</key><data></data>\n");
  const Case cases[] = {
      {"binary data", binaryFile, "d", awkward, std::nullopt},
      {"binary string", binaryFile, "s", std::nullopt, "text"},
      {"XML data", xmlFile, "d", awkward, std::nullopt},
      {"XML string", xmlFile, "s", std::nullopt, "caf\xc3\xa9 & more"},
      {"XML empty data", xmlFile, "e", Bytes{}, std::nullopt},
      {"missing key", xmlFile, "absent", std::nullopt, std::nullopt},
      {"key with NUL", xmlFile, std::string_view("d\0", 2), std::nullopt, std::nullopt},
      {"dictionary value", xmlDomain("<key>k</key><dict><key>d</key><data>b2s=</data></dict>"), "k",
       std::nullopt, std::nullopt},
      {"integer value", xmlDomain("<key>k</key><integer>7</integer>"), "k", std::nullopt,
       std::nullopt},
      {"nested lists within the bounds", binaryDomainWithNestedLists(10), "k", bytesOf("ok"),
       std::nullopt},
  };
  for (const Case& c : cases) {
    const ScopedConfigHome home;
    test_support::writeFile(home.file(kSuite), c.file);
    const auto defaults = UserDefaults::withSuiteName(kSuite);
    ASSERT_TRUE(defaults.has_value());
    EXPECT_EQ(c.data, defaults->dataForKey(c.key)) << c.name;
    EXPECT_EQ(c.text, defaults->stringForKey(c.key)) << c.name;
  }
}

TEST(UserDefaults, FollowsASymlinkToARegularFile) {
  const ScopedConfigHome home;
  const auto target = home.root() / "elsewhere.plist";
  test_support::writeFile(target, xmlDomain("<key>k</key><data>b2s=</data>"));
  std::filesystem::create_directories(home.defaultsFolder());
  std::filesystem::create_symlink(target, home.file(kSuite));
  EXPECT_EQ(bytesOf("ok"), UserDefaults::withSuiteName(kSuite)->dataForKey("k"));
}

TEST(UserDefaults, ReadsTheFileAfreshOnEveryLookup) {
  const ScopedConfigHome home;
  const auto defaults = UserDefaults::standard();
  EXPECT_EQ(std::nullopt, defaults.stringForKey("k"));
  test_support::writeFile(home.file(kProcessDomain), xmlDomain("<key>k</key><string>one</string>"));
  EXPECT_EQ("one", defaults.stringForKey("k"));
  test_support::writeFile(home.file(kProcessDomain), xmlDomain("<key>k</key><string>two</string>"));
  EXPECT_EQ("two", defaults.stringForKey("k"));
}

TEST(UserDefaults, KeepsSuitesApart) {
  const ScopedConfigHome home;
  test_support::writeFile(home.file(kSuite), xmlDomain("<key>k</key><string>suite</string>"));
  EXPECT_EQ("suite", UserDefaults::withSuiteName(kSuite)->stringForKey("k"));
  EXPECT_EQ(std::nullopt, UserDefaults::standard().stringForKey("k"));
}

// A hostile file at the domain's path; `release` unblocks a reader that a bug left waiting.
struct HostileCase {
  const char* name;
  std::function<void(const ScopedConfigHome&)> setUp;
  std::function<void(const ScopedConfigHome&)> release;
};

std::function<void(const ScopedConfigHome&)> fileWith(std::string contents) {
  return [contents = std::move(contents)](const ScopedConfigHome& home) {
    test_support::writeFile(home.file(kSuite), contents);
  };
}

std::string randomBytes(std::size_t size, unsigned seed, std::string_view prefix = {}) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(prefix);
  while (bytes.size() < size) {
    bytes.push_back(static_cast<char>(byte(generator)));
  }
  return bytes;
}

std::vector<HostileCase> hostileCases() {
  const std::string valid = xmlDomain("<key>k</key><data>b2s=</data>");
  const std::string validBinary = binaryDomainWithNestedLists(3);
  auto inFolder = [](auto make) {
    return [make](const ScopedConfigHome& home) {
      std::filesystem::create_directories(home.defaultsFolder());
      make(home.file(kSuite));
    };
  };
  return {
      {"no folder", [](const ScopedConfigHome&) {}, nullptr},
      {"no file", inFolder([](const std::filesystem::path&) {}), nullptr},
      {"empty file", fileWith(""), nullptr},
      {"truncated XML", fileWith(valid.substr(0, valid.size() / 2)), nullptr},
      {"truncated binary", fileWith(validBinary.substr(0, validBinary.size() - 10)), nullptr},
      {"random bytes", fileWith(randomBytes(4096, 1)), nullptr},
      {"random bytes after a binary header", fileWith(randomBytes(4096, 2, "bplist00")), nullptr},
      {"random bytes after an XML header",
       fileWith(randomBytes(4096, 3, "<?xml version=\"1.0\"?>")), nullptr},
      {"root is a list", fileWith("<plist><array><data>b2s=</data></array></plist>"), nullptr},
      {"root is data", fileWith("<plist><data>b2s=</data></plist>"), nullptr},
      {"FIFO", inFolder([](const std::filesystem::path& path) { ::mkfifo(path.c_str(), 0600); }),
       [](const ScopedConfigHome& home) {
         // A reader blocked in open() or read() returns once a writer comes and goes.
         const int fd = ::open(home.file(kSuite).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
         if (fd >= 0) {
           ::close(fd);
         }
       }},
      {"symlink to /dev/zero", inFolder([](const std::filesystem::path& path) {
         std::filesystem::create_symlink("/dev/zero", path);
       }),
       nullptr},
      {"symlink to itself", inFolder([](const std::filesystem::path& path) {
         std::filesystem::create_symlink(path.filename(), path);
       }),
       nullptr},
      {"directory",
       inFolder([](const std::filesystem::path& path) { std::filesystem::create_directory(path); }),
       nullptr},
      {"XML over the cap", fileWith(valid + "<!--" + std::string(64 * 1024, '-') + "-->"), nullptr},
      {"binary over the cap", fileWith([] {
         BinaryPlistBuilder builder;
         builder.addDictionary({{1, 2}});
         builder.addAscii("k");
         builder.addData(std::string(64 * 1024, 'x'));
         return builder.build(0);
       }()),
       nullptr},
      {"binary lists nested 13 000 deep", fileWith(binaryDomainWithNestedLists(13000)), nullptr},
      {"binary lists sharing objects 2^20 times", fileWith(binaryDomainWithDoublingLists(20)),
       nullptr},
      {"binary list that holds itself",
       fileWith(binaryDomainWithChain(1, [](BinaryPlistBuilder& b) { b.addArray({4}); })), nullptr},
  };
}

// Runs `read` on another thread so that a read that blocks fails the test instead of hanging it.
template <class Read>
auto readWithin(std::chrono::milliseconds limit, const HostileCase& c, const ScopedConfigHome& home,
                Read read) {
  auto future = std::async(std::launch::async, read);
  if (future.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << c.name << ": the read blocked";
    if (c.release) {
      c.release(home);
    }
  }
  return future.get();
}

TEST(UserDefaults, ReadsEveryHostileFileAsNoValueWithoutBlockingOrWriting) {
  const auto cases = hostileCases();
  ASSERT_LE(binaryDomainWithNestedLists(13000).size(), 64u * 1024)
      << "the nested case fits the cap";
  for (const HostileCase& c : cases) {
    const ScopedConfigHome home;
    c.setUp(home);
    const auto before = test_support::listFolder(home.defaultsFolder());
    const auto defaults = UserDefaults::withSuiteName(kSuite);
    ASSERT_TRUE(defaults.has_value());

    const auto data = readWithin(5000ms, c, home, [&] { return defaults->dataForKey("k"); });
    const auto text = readWithin(5000ms, c, home, [&] { return defaults->stringForKey("k"); });
    EXPECT_EQ(std::nullopt, data) << c.name;
    EXPECT_EQ(std::nullopt, text) << c.name;
    EXPECT_EQ(before, test_support::listFolder(home.defaultsFolder())) << c.name;
  }
}

// The least CPU time of three calls of `read` on this thread. CPU time, unlike the
// clock on the wall, does not grow when other processes share the machine.
template <class Read>
std::chrono::nanoseconds leastCpuTime(Read read) {
  auto threadTime = [] {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  };
  auto least = std::chrono::nanoseconds::max();
  for (int run = 0; run < 3; ++run) {
    const auto start = threadTime();
    read();
    least = std::min(least, threadTime() - start);
  }
  return least;
}

TEST(UserDefaults, ReadsTheCostliestBinaryFileWithinTheBounds) {
  // libplist's time grows with depth times nodes: 28 nested lists, the innermost
  // holding 16 000 references to one string, is about as deep and as wide as the bounds allow.
  const ScopedConfigHome home;
  const std::string file = binaryDomainWithChain(2, [](BinaryPlistBuilder& builder) {
    constexpr std::size_t kLists = 28;
    for (std::size_t i = 0; i + 1 < kLists; ++i) {
      builder.addArray({4 + i + 1});
    }
    builder.addArray(std::vector<std::size_t>(16000, 4 + kLists));
    builder.addAscii("0123456789");
  });
  ASSERT_LE(file.size(), 64u * 1024);
  test_support::writeFile(home.file(kSuite), file);
  // A hang guard, not a timing: about 25 ms under the sanitizers.
  EXPECT_LT(leastCpuTime([] {
              EXPECT_EQ(bytesOf("ok"), UserDefaults::withSuiteName(kSuite)->dataForKey("k"));
            }),
            5s);
}

TEST(UserDefaults, ReadsDeeplyNestedXml) {
  // The XML parser does not recurse; nesting as deep as the cap allows stays cheap.
  const ScopedConfigHome home;
  const std::string file =
      xmlDomain("<key>k</key><data>b2s=</data><key>n</key>" + xmlNestedLists(4000));
  ASSERT_LE(file.size(), 64u * 1024);
  test_support::writeFile(home.file(kSuite), file);
  // A hang guard, not a timing: a few milliseconds; quadratic parsing would not finish.
  EXPECT_LT(leastCpuTime([] {
              EXPECT_EQ(bytesOf("ok"), UserDefaults::withSuiteName(kSuite)->dataForKey("k"));
            }),
            5s);
}

TEST(UserDefaults, ReadsEveryPrefixOfAFileAsTheValueOrNothing) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("payload")).has_value());
  ASSERT_TRUE(writeDefaultsString(kSuite, "s", "text").has_value());
  const std::string binaryFile = test_support::readFile(home.file(kSuite));
  const std::string xmlFile =
      xmlDomain("<key>k</key><data>cGF5bG9hZA==</data><key>s</key><string>text</string>");
  const auto defaults = UserDefaults::withSuiteName(kSuite);
  for (const std::string& original : {binaryFile, xmlFile}) {
    for (std::size_t length = 0; length < original.size(); ++length) {
      const std::string prefix = original.substr(0, length);
      test_support::writeFile(home.file(kSuite), prefix);
      const auto data = defaults->dataForKey("k");
      EXPECT_TRUE(!data || *data == bytesOf("payload")) << ::testing::PrintToString(prefix);
    }
  }
}

TEST(UserDefaults, SurvivesRandomEditsOfAFile) {
  // An edit may change the value; what matters is that no edit crashes or hangs the reader.
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("payload")).has_value());
  const std::string binaryFile = test_support::readFile(home.file(kSuite));
  const std::string xmlFile = xmlDomain("<key>k</key><data>cGF5bG9hZA==</data>");
  const auto defaults = UserDefaults::withSuiteName(kSuite);
  std::mt19937 generator(7);
  int readable = 0;
  for (const std::string& original : {binaryFile, xmlFile}) {
    for (int i = 0; i < 300; ++i) {
      std::string edited = original;
      for (int edit = 0; edit < 3; ++edit) {
        edited[generator() % edited.size()] = static_cast<char>(generator());
      }
      test_support::writeFile(home.file(kSuite), edited);
      readable += defaults->dataForKey("k").has_value() ? 1 : 0;
    }
  }
  EXPECT_LT(readable, 600);
}

}  // namespace
}  // namespace platform::foundation
