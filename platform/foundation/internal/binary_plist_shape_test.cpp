#include "platform/foundation/internal/binary_plist_shape.hpp"

#include <functional>

#include <gtest/gtest.h>

#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"

namespace platform::foundation::internal {
namespace {

using test_support::BinaryPlistBuilder;

constexpr BinaryPlistLimits kRoomy{.depth = 100, .nodes = 1000, .bytes = 10000};

Expected<BinaryPlistShape, std::string> measure(const std::string& file,
                                                const BinaryPlistLimits& limits = kRoomy) {
  return measureBinaryPlist(
      std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()), limits);
}

// {"a": "x", "b": <78797a>}
std::string flatDictionary() {
  BinaryPlistBuilder builder;
  builder.addDictionary({{1, 2}, {3, 4}});
  builder.addAscii("a");
  builder.addAscii("x");
  builder.addAscii("b");
  builder.addData("xyz");
  return builder.build(0);
}

std::string arrayOfSharedString(std::size_t references) {
  BinaryPlistBuilder builder(2);
  builder.addArray(std::vector<std::size_t>(references, 1));
  builder.addAscii("abc");
  return builder.build(0);
}

TEST(MeasureBinaryPlist, MeasuresAFlatDictionary) {
  const auto shape = measure(flatDictionary());
  ASSERT_TRUE(shape.has_value()) << shape.error();
  EXPECT_EQ(2u, shape->depth);
  EXPECT_EQ(5u, shape->nodes);
  // Dictionary marker and four references, three one-letter strings, three data bytes.
  EXPECT_EQ(5u + 2 + 2 + 2 + 4, shape->bytes);
}

TEST(MeasureBinaryPlist, CountsASharedObjectOncePerReference) {
  const auto shape = measure(arrayOfSharedString(3));
  ASSERT_TRUE(shape.has_value()) << shape.error();
  EXPECT_EQ(2u, shape->depth);
  EXPECT_EQ(4u, shape->nodes);
  EXPECT_EQ((1u + 3 * 2) + 3 * 4, shape->bytes);
}

TEST(MeasureBinaryPlist, MeasuresWhatLibplistWrites) {
  const test_support::ScopedConfigHome home;
  ASSERT_TRUE(writeDefaultsString("group.app.velto", "key", "value").has_value());
  const auto shape = measure(test_support::readFile(home.file("group.app.velto")));
  ASSERT_TRUE(shape.has_value()) << shape.error();
  EXPECT_EQ(2u, shape->depth);
  EXPECT_EQ(3u, shape->nodes);
}

TEST(MeasureBinaryPlist, ReadsCountsAndOffsetsOfEveryWidth) {
  // {"k": <data>}: a count past 14 follows the marker as a one-, two- or
  // four-byte integer, and a file past 64 KiB has four-byte offsets.
  const struct {
    std::size_t size;
    std::uint8_t countWidthCode;  // the width is 1 << code bytes
  } cases[] = {{20, 0}, {300, 1}, {300, 2}, {70'000, 2}};
  for (const auto& c : cases) {
    const std::size_t width = std::size_t{1} << c.countWidthCode;
    BinaryPlistBuilder builder;
    builder.addDictionary({{1, 2}});
    builder.addAscii("k");
    builder.add("\x4F" + std::string(1, static_cast<char>(0x10 | c.countWidthCode))
                + BinaryPlistBuilder::bigEndian(c.size, width) + std::string(c.size, 'x'));
    const auto shape = measure(builder.build(0), {.depth = 8, .nodes = 8, .bytes = 100'000});
    ASSERT_TRUE(shape.has_value()) << c.size << ": " << shape.error();
    EXPECT_EQ(3u, shape->nodes) << c.size;
    EXPECT_EQ(3 + 2 + 2 + width + c.size, shape->bytes) << c.size;
  }
}

TEST(MeasureBinaryPlist, FailsJustPastEachLimit) {
  const BinaryPlistLimits depth64{.depth = 64, .nodes = 1000, .bytes = 10000};
  const BinaryPlistLimits nodes1000{.depth = 8, .nodes = 1000, .bytes = 100000};
  // A six-byte array header, two bytes per reference and four per string: 6 + 6·n.
  const BinaryPlistLimits bytes4002{.depth = 8, .nodes = 1000, .bytes = 4002};
  struct Case {
    const char* name;
    std::string file;
    BinaryPlistLimits limits;
    bool within;
  };
  const Case cases[] = {
      {"64 levels", test_support::nestedBinaryArrays(64), depth64, true},
      {"65 levels", test_support::nestedBinaryArrays(65), depth64, false},
      {"1000 nodes", arrayOfSharedString(999), nodes1000, true},
      {"1001 nodes", arrayOfSharedString(1000), nodes1000, false},
      {"4002 bytes", arrayOfSharedString(666), bytes4002, true},
      {"4008 bytes", arrayOfSharedString(667), bytes4002, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.within, measure(c.file, c.limits).has_value()) << c.name;
  }
}

TEST(MeasureBinaryPlist, StopsOnExponentialSharing) {
  // 60 levels stand for 2^60 nodes: a walk that expanded them would never return.
  const auto shape = measure(test_support::doublingBinaryArrays(60),
                             {.depth = 100, .nodes = 1u << 16, .bytes = 1u << 20});
  EXPECT_FALSE(shape.has_value());
}

TEST(MeasureBinaryPlist, RefusesInconsistentStructure) {
  using Edit = std::function<void(std::string&)>;
  auto setTrailer = [](std::size_t at, std::uint64_t value, std::size_t width) {
    return [=](std::string& file) {
      file.replace(file.size() - 32 + at, width, BinaryPlistBuilder::bigEndian(value, width));
    };
  };
  struct Case {
    const char* name;
    std::string file;
    Edit edit;
  };
  auto built = [](const std::function<void(BinaryPlistBuilder&)>& add) {
    BinaryPlistBuilder builder;
    add(builder);
    return builder.build(0);
  };
  const Case cases[] = {
      {"too short", "bplist00" + std::string(10, '\0'), nullptr},
      {"offset size zero", flatDictionary(), setTrailer(6, 0, 1)},
      {"reference size nine", flatDictionary(), setTrailer(7, 9, 1)},
      {"no objects", flatDictionary(), setTrailer(8, 0, 8)},
      {"top object out of range", flatDictionary(), setTrailer(16, 5, 8)},
      {"offset table inside the trailer", flatDictionary(),
       [](std::string& f) {
         f.replace(f.size() - 8, 8, BinaryPlistBuilder::bigEndian(f.size() - 31, 8));
       }},
      {"object offset inside the header", flatDictionary(),
       [](std::string& f) {
         const std::size_t tableAt = f.size() - 32 - 5;
         f[tableAt] = 3;
       }},
      {"reference out of range", built([](auto& b) { b.addArray({7}); }), nullptr},
      {"array that holds itself", built([](auto& b) { b.addArray({0}); }), nullptr},
      {"cycle through a dictionary", built([](auto& b) {
         b.addDictionary({{1, 2}});
         b.addAscii("k");
         b.addArray({0});
       }),
       nullptr},
      {"unknown marker", built([](auto& b) { b.add("\x70"); }), nullptr},
      {"string that runs past its end", built([](auto& b) {
         b.add(
             "\x5A"
             "ab");
       }),
       nullptr},
      {"count larger than the file", built([](auto& b) {
         b.add("\x5F\x13" + BinaryPlistBuilder::bigEndian(std::uint64_t{1} << 60, 8));
       }),
       nullptr},
  };
  for (const Case& c : cases) {
    std::string file = c.file;
    if (c.edit) {
      c.edit(file);
    }
    EXPECT_FALSE(measure(file).has_value()) << c.name;
  }
  EXPECT_TRUE(measure(flatDictionary()).has_value()) << "the unedited file";
}

}  // namespace
}  // namespace platform::foundation::internal
