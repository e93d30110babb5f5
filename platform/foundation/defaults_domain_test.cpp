#include "platform/foundation/defaults_domain.hpp"

#include <random>

#include <gtest/gtest.h>

#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"

namespace platform::foundation {
namespace {

using test_support::bytesOf;
using test_support::ScopedConfigHome;
using test_support::xmlDomain;
using Code = DefaultsError::Code;
using Type = DefaultsValueType;

constexpr std::string_view kSuite = "group.app.velto";

const std::string kEveryType = xmlDomain(
    "<key>s</key><string>text</string>"
    "<key>d</key><data>b2s=</data>"
    "<key>i</key><integer>-3</integer>"
    "<key>r</key><real>1.5</real>"
    "<key>b</key><true/>"
    "<key>t</key><date>2024-01-02T03:04:05Z</date>"
    "<key>a</key><array><string>x</string></array>"
    "<key>D</key><dict/>"
    "<key>\xc3\xa9</key><string>accent</string>");

TEST(ListDefaultsKeys, ListsEveryKeyWithItsTypeSortedByKey) {
  const ScopedConfigHome home;
  test_support::writeFile(home.file(kSuite), kEveryType);
  const auto entries = listDefaultsKeys(kSuite);
  ASSERT_TRUE(entries.has_value()) << entries.error().message;
  const std::vector<DefaultsEntry> expected{
      {"D", Type::dictionary}, {"a", Type::array},   {"b", Type::boolean},
      {"d", Type::data},       {"i", Type::integer}, {"r", Type::real},
      {"s", Type::string},     {"t", Type::date},    {"\xc3\xa9", Type::string},
  };
  EXPECT_EQ(expected, *entries);
}

TEST(ReadDefaultsValue, GivesDataAndStringBytesAndOnlyTheTypeOfOthers) {
  const ScopedConfigHome home;
  test_support::writeFile(home.file(kSuite), kEveryType);
  struct Case {
    std::string_view key;
    Type type;
    Bytes bytes;
  };
  const Case cases[] = {
      {"d", Type::data, bytesOf("ok")},
      {"s", Type::string, bytesOf("text")},
      {"i", Type::integer, {}},
      {"D", Type::dictionary, {}},
  };
  for (const Case& c : cases) {
    const auto value = readDefaultsValue(kSuite, c.key);
    ASSERT_TRUE(value.has_value()) << c.key;
    EXPECT_EQ(c.type, value->type) << c.key;
    EXPECT_EQ(c.bytes, value->bytes) << c.key;
  }
}

TEST(ReadDefaultsValue, ReportsWhyThereIsNoValue) {
  struct Case {
    const char* name;
    std::string_view domain;
    std::function<void(const std::filesystem::path&)> setUp;
    Code expected;
    bool namesTheFile;
  };
  auto contents = [](std::string bytes) {
    return [bytes = std::move(bytes)](const std::filesystem::path& path) {
      test_support::writeFile(path, bytes);
    };
  };
  const Case cases[] = {
      {"no file", kSuite, [](const auto&) {}, Code::noSuchDomain, true},
      {"no key", kSuite, contents(xmlDomain("<key>other</key><true/>")), Code::noSuchKey, false},
      {"garbage", kSuite, contents("garbage"), Code::malformed, true},
      {"root is a list", kSuite, contents("<plist><array/></plist>"), Code::malformed, true},
      {"too deep", kSuite, contents(test_support::binaryDomainWithNestedLists(100)),
       Code::malformed, true},
      {"over the cap", kSuite, contents(std::string(70000, ' ')), Code::tooLarge, true},
      {"directory", kSuite, [](const auto& path) { std::filesystem::create_directories(path); },
       Code::unreadable, true},
      {"invalid domain", "../x", [](const auto&) {}, Code::invalidArgument, false},
  };
  for (const Case& c : cases) {
    const ScopedConfigHome home;
    c.setUp(home.file(kSuite));
    const auto value = readDefaultsValue(c.domain, "k");
    ASSERT_FALSE(value.has_value()) << c.name;
    EXPECT_EQ(c.expected, value.error().code) << c.name << ": " << value.error().message;
    EXPECT_EQ(std::string::npos, value.error().message.find('\n')) << c.name;
    if (c.namesTheFile) {
      EXPECT_NE(std::string::npos, value.error().message.find(home.file(kSuite).string()))
          << c.name << ": " << value.error().message;
    }
    const auto entries = listDefaultsKeys(c.domain);
    if (c.expected == Code::noSuchKey) {
      EXPECT_TRUE(entries.has_value()) << c.name;
    } else {
      ASSERT_FALSE(entries.has_value()) << c.name;
      EXPECT_EQ(c.expected, entries.error().code) << c.name;
    }
  }
}

TEST(ReadDefaultsValueFromContents, ParsesAsTheFileReaderDoes) {
  const ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsData(kSuite, "k", bytesOf("ok")).has_value());
  const std::string file = test_support::readFile(home.file(kSuite));
  const auto value = readDefaultsValueFromContents(
      std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()), "k");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(bytesOf("ok"), value->bytes);

  const std::string deep = test_support::doublingBinaryArrays(40);
  const auto refused = readDefaultsValueFromContents(
      std::span(reinterpret_cast<const std::uint8_t*>(deep.data()), deep.size()), "k");
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(Code::malformed, refused.error().code);
}

TEST(ReadDefaultsValueFromContents, SurvivesRandomInput) {
  std::mt19937 generator(11);
  const std::string prefixes[] = {"", "bplist00",
                                  "<?xml version=\"1.0\"?><plist><dict><key>k</key>",
                                  "<plist><dict><key>k</key><data>"};
  for (const std::string& prefix : prefixes) {
    for (int i = 0; i < 500; ++i) {
      std::string bytes = prefix;
      const std::size_t size = prefix.size() + generator() % 200;
      while (bytes.size() < size) {
        bytes.push_back(static_cast<char>(generator()));
      }
      const auto value = readDefaultsValueFromContents(
          std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "k");
      EXPECT_TRUE(!value || value->type != Type::unknown);
    }
  }
}

TEST(QuotedForMessage, KeepsTheTextOnOneLine) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"plain", "'plain'"},
      {"it's", "'it\\'s'"},
      {"a\\b", "'a\\\\b'"},
      {"line\nbreak", "'line\\nbreak'"},
      {"tab\there", "'tab\\there'"},
      {std::string_view("nul\0", 4), "'nul\\x00'"},
      {"\x1b[31m", "'\\x1b[31m'"},
      {"\x7f", "'\\x7f'"},
      {"caf\xc3\xa9", "'caf\xc3\xa9'"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(expected, quotedForMessage(text));
  }
}

}  // namespace
}  // namespace platform::foundation
