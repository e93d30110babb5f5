#include "platform/foundation/defaults_writer.hpp"

#include <chrono>
#include <functional>
#include <future>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace platform::foundation {
namespace {

using namespace std::chrono_literals;
using test_support::bytesOf;
using test_support::ScopedConfigHome;
using test_support::xmlDomain;
using Code = DefaultsError::Code;

constexpr std::string_view kSuite = "group.app.velto";

std::optional<Bytes> storedData(std::string_view key) {
  return UserDefaults::withSuiteName(kSuite)->dataForKey(key);
}

std::optional<std::string> storedString(std::string_view key) {
  return UserDefaults::withSuiteName(kSuite)->stringForKey(key);
}

// The bytes of a regular file; nothing is read from a FIFO or a folder.
std::string contentsIfRegular(const std::filesystem::path& path) {
  return std::filesystem::is_regular_file(path) ? test_support::readFile(path) : std::string();
}

std::set<std::string> domainFiles() {
  return {std::string(kSuite) + ".plist", std::string(kSuite) + ".plist.lock"};
}

TEST(WriteDefaultsData, StoresBytesThatReadBackUnchanged) {
  Bytes everyByte;
  for (int byte = 0; byte < 256; ++byte) {
    everyByte.push_back(static_cast<std::uint8_t>(byte));
  }
  const Bytes values[] = {
      {}, {0x00}, everyByte, bytesOf(R"({"state":"running","x":1})"), Bytes(60000, 0xAB)};
  for (const Bytes& value : values) {
    const ScopedConfigHome home;
    const auto written = writeDefaultsData(kSuite, "k", value);
    ASSERT_TRUE(written.has_value()) << written.error().message;
    EXPECT_EQ(value, storedData("k")) << value.size() << " bytes";
    EXPECT_EQ(std::nullopt, storedString("k"));
  }
}

TEST(WriteDefaultsString, StoresTextAsAStringValueUnchanged) {
  const ScopedConfigHome home;
  const std::string text = "Caf\xc3\xa9 <&> \xf0\x9f\x8d\x85 \xe2\x80\xa8";
  ASSERT_TRUE(writeDefaultsString(kSuite, "caf\xc3\xa9", text).has_value());
  EXPECT_EQ(text, storedString("caf\xc3\xa9"));
  EXPECT_EQ(std::nullopt, storedData("caf\xc3\xa9"));
}

TEST(WriteDefaultsData, WritesTheBinaryFormWithOwnerOnlyAccess) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("ok")).has_value());
  EXPECT_TRUE(test_support::readFile(home.file(kSuite)).starts_with("bplist00"));
  struct stat status {};
  ASSERT_EQ(0, ::stat(home.file(kSuite).c_str(), &status));
  EXPECT_EQ(0600u, status.st_mode & 0777u);
}

TEST(WriteDefaultsData, KeepsOtherKeysAndReplacesItsOwn) {
  const ScopedConfigHome home;
  test_support::writeFile(
      home.file(kSuite),
      xmlDomain("<key>xml</key><string>kept</string><key>k</key><data>b2s=</data>"));
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("new")).has_value());
  ASSERT_TRUE(writeDefaultsString(kSuite, "other", "text").has_value());
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("newer")).has_value());
  EXPECT_EQ(bytesOf("newer"), storedData("k"));
  EXPECT_EQ("kept", storedString("xml"));
  EXPECT_EQ("text", storedString("other"));
}

TEST(WriteDefaultsData, CreatesMissingFoldersForTheOwnerOnly) {
  const ScopedConfigHome outer;
  const auto configHome = outer.root() / "new" / "config";
  const test_support::ScopedEnvironment xdg("XDG_CONFIG_HOME", configHome.string());
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("ok")).has_value());
  for (const auto& folder : {outer.root() / "new", configHome, configHome / "velto",
                             configHome / "velto" / "defaults"}) {
    struct stat status {};
    ASSERT_EQ(0, ::stat(folder.c_str(), &status)) << folder;
    EXPECT_EQ(0700u, status.st_mode & 0777u) << folder;
  }
  EXPECT_EQ(domainFiles(), test_support::listFolder(configHome / "velto" / "defaults"));
}

TEST(WriteDefaultsData, ReportsAFolderItCannotCreate) {
  const ScopedConfigHome home;
  test_support::writeFile(home.root() / "velto", "a file where the folder belongs");
  const auto written = writeDefaultsData(kSuite, "k", bytesOf("ok"));
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(Code::cannotCreate, written.error().code) << written.error().message;
}

TEST(WriteDefaultsData, RefusesNamesThatCannotNameAValueAndCreatesNothing) {
  struct Case {
    std::string_view domain;
    std::string_view key;
  };
  const Case cases[] = {
      // Which domain names are valid is isValidDefaultsDomain's; one bad one will do.
      {"../group.app.velto", "k"},
      {kSuite, ""},
      {kSuite, std::string_view("k\0x", 3)},
  };
  for (const Case& c : cases) {
    const ScopedConfigHome home;
    const auto written = writeDefaultsData(c.domain, c.key, bytesOf("ok"));
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(Code::invalidArgument, written.error().code) << written.error().message;
    EXPECT_TRUE(test_support::listFolder(home.root()).empty());
  }
  const ScopedConfigHome home;
  const auto written = writeDefaultsString(kSuite, "k", std::string_view("a\0b", 3));
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(Code::invalidArgument, written.error().code);
}

TEST(WriteDefaultsData, RefusesExistingFilesItCannotReadAndChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(const std::filesystem::path&)> setUp;
    Code expected;
  };
  auto contents = [](std::string bytes) {
    return [bytes = std::move(bytes)](const std::filesystem::path& path) {
      test_support::writeFile(path, bytes);
    };
  };
  const Case cases[] = {
      {"random bytes", contents("not a property list at all"), Code::malformed},
      {"root is a list", contents("<plist><array><string>x</string></array></plist>"),
       Code::malformed},
      {"truncated binary", contents(test_support::nestedBinaryArrays(3).substr(0, 20)),
       Code::malformed},
      {"deeply nested binary", contents(test_support::binaryDomainWithNestedLists(5000)),
       Code::malformed},
      {"over the cap", contents(xmlDomain("") + std::string(70000, ' ')), Code::tooLarge},
      {"directory", [](const auto& path) { std::filesystem::create_directories(path); },
       Code::unreadable},
      {"FIFO",
       [](const auto& path) {
         std::filesystem::create_directories(path.parent_path());
         ::mkfifo(path.c_str(), 0600);
       },
       Code::unreadable},
  };
  for (const Case& c : cases) {
    const ScopedConfigHome home;
    c.setUp(home.file(kSuite));
    const std::string before = contentsIfRegular(home.file(kSuite));
    auto future = std::async(std::launch::async,
                             [] { return writeDefaultsData(kSuite, "k", bytesOf("ok")); });
    if (future.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << c.name << " blocked the writer";
      // A writer blocked on a FIFO returns once a peer comes and goes.
      const int fd = ::open(home.file(kSuite).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        ::close(fd);
      }
    }
    const auto written = future.get();
    ASSERT_FALSE(written.has_value()) << c.name;
    EXPECT_EQ(c.expected, written.error().code) << c.name << ": " << written.error().message;
    EXPECT_EQ(std::string::npos, written.error().message.find('\n'));
    EXPECT_EQ(before, contentsIfRegular(home.file(kSuite))) << c.name;
    EXPECT_EQ(domainFiles(), test_support::listFolder(home.defaultsFolder())) << c.name;
  }
}

TEST(WriteDefaultsData, RefusesAValueThatWouldOutgrowTheCapAndKeepsTheFile) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", Bytes(40000, 1)).has_value());
  const std::string before = test_support::readFile(home.file(kSuite));
  for (const std::size_t size :
       {std::size_t{30000}, std::size_t{64 * 1024 - 10}, std::size_t{70000}}) {
    const auto written = writeDefaultsData(kSuite, "other", Bytes(size, 2));
    ASSERT_FALSE(written.has_value()) << size;
    EXPECT_EQ(Code::tooLarge, written.error().code) << size;
  }
  EXPECT_EQ(before, test_support::readFile(home.file(kSuite)));
  EXPECT_EQ(Bytes(40000, 1), storedData("k"));
  EXPECT_EQ(domainFiles(), test_support::listFolder(home.defaultsFolder()));
}

TEST(DeleteDefaultsKey, RemovesOnlyThatKey) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("a")).has_value());
  ASSERT_TRUE(writeDefaultsData(kSuite, "kept", bytesOf("b")).has_value());
  ASSERT_TRUE(deleteDefaultsKey(kSuite, "k").has_value());
  EXPECT_EQ(std::nullopt, storedData("k"));
  EXPECT_EQ(bytesOf("b"), storedData("kept"));
}

TEST(DeleteDefaultsKey, FailsWithoutWritingWhenThereIsNothingToDelete) {
  const ScopedConfigHome home;
  const auto noDomain = deleteDefaultsKey(kSuite, "k");
  ASSERT_FALSE(noDomain.has_value());
  EXPECT_EQ(Code::noSuchDomain, noDomain.error().code);
  EXPECT_FALSE(std::filesystem::exists(home.defaultsFolder()));

  ASSERT_TRUE(writeDefaultsData(kSuite, "kept", bytesOf("b")).has_value());
  const std::string before = test_support::readFile(home.file(kSuite));
  const auto noKey = deleteDefaultsKey(kSuite, "k");
  ASSERT_FALSE(noKey.has_value());
  EXPECT_EQ(Code::noSuchKey, noKey.error().code);
  EXPECT_EQ(before, test_support::readFile(home.file(kSuite)));
}

}  // namespace
}  // namespace platform::foundation
