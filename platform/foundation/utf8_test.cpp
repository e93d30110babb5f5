#include "platform/foundation/utf8.hpp"

#include <optional>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace platform::foundation {
namespace {

TEST(Utf8CodePointCount, AcceptsOnlyWellFormedText) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view text;
    std::optional<std::size_t> count;
  } cases[] = {
      {""sv, 0},
      {"Deep Work"sv, 9},
      {"\0"sv, 1},
      {"\xC2\x80"sv, 1},                  // U+0080, the first two-byte value
      {"\xDF\xBF"sv, 1},                  // U+07FF
      {"\xE0\xA0\x80"sv, 1},              // U+0800
      {"\xED\x9F\xBF"sv, 1},              // U+D7FF, just below the surrogates
      {"\xEE\x80\x80"sv, 1},              // U+E000, just above them
      {"\xEF\xBF\xBF"sv, 1},              // U+FFFF
      {"\xF0\x90\x80\x80"sv, 1},          // U+10000
      {"\xF4\x8F\xBF\xBF"sv, 1},          // U+10FFFF
      {"Caf\xC3\xA9 \xE2\x80\xA8"sv, 6},  // é and U+2028
      {"a\xFF"
       "b"sv,
       std::nullopt},
      {"x\xC0\xAFy"sv, std::nullopt},        // overlong '/'
      {"\xC1\xBF"sv, std::nullopt},          // overlong U+007F
      {"\xE0\x9F\xBF"sv, std::nullopt},      // overlong U+07FF
      {"\xF0\x8F\xBF\xBF"sv, std::nullopt},  // overlong U+FFFF
      {"\xED\xA0\x80"sv, std::nullopt},      // U+D800
      {"\xED\xBF\xBF"sv, std::nullopt},      // U+DFFF
      {"\xF4\x90\x80\x80"sv, std::nullopt},  // U+110000
      {"\xF5\x80\x80\x80"sv, std::nullopt},
      {"\x80"sv, std::nullopt},          // a lone continuation byte
      {"\xE2\x80"sv, std::nullopt},      // cut short at the end
      {"\xE2\x28\xA1"sv, std::nullopt},  // a continuation byte missing
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.count, utf8CodePointCount(c.text)) << testing::PrintToString(c.text);
  }
}

TEST(DecodeUtf8, ReadsTheValueOfEachWellFormedSequence) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view text;
    std::optional<Utf8CodePoint> decoded;
  } cases[] = {
      {""sv, std::nullopt},
      {"A tail"sv, Utf8CodePoint{U'A', 1}},
      {"\0"sv, Utf8CodePoint{0, 1}},
      {"\xC3\xA9t\xC3\xA9"sv, Utf8CodePoint{0xE9, 2}},
      {"\xE2\x80\xA8"sv, Utf8CodePoint{0x2028, 3}},
      {"\xEF\xBF\xBD"sv, Utf8CodePoint{0xFFFD, 3}},
      {"\xF0\x9F\x98\x80"sv, Utf8CodePoint{0x1F600, 4}},
      {"\xF4\x8F\xBF\xBF"sv, Utf8CodePoint{0x10FFFF, 4}},
      {"\xF4\x90\x80\x80"sv, std::nullopt},  // beyond Unicode
      {"\xC0\xAF"sv, std::nullopt},          // overlong
      {"\xED\xA0\x80"sv, std::nullopt},      // a surrogate
      {"\xE4\xB8"sv, std::nullopt},          // cut short
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.decoded, decodeUtf8(c.text)) << testing::PrintToString(c.text);
  }
}

TEST(NextCodePoint, ReadsEachBadByteAsOneReplacement) {
  const std::string_view text = "a\xF4\x90\x80\x80\xC3\xA9\xE4\xB8";
  std::vector<char32_t> read;
  std::vector<std::size_t> positions;
  for (std::size_t pos = 0; pos < text.size();) {
    read.push_back(nextCodePoint(text, pos));
    positions.push_back(pos);
  }
  EXPECT_EQ((std::vector<char32_t>{U'a', 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xE9, 0xFFFD, 0xFFFD}),
            read);
  EXPECT_EQ((std::vector<std::size_t>{1, 2, 3, 4, 5, 7, 8, 9}), positions);
}

TEST(NextCodePoint, RejectsCodePointsBeyondUnicode) {
  std::size_t pos = 0;
  EXPECT_EQ(0xFFFDU, nextCodePoint("\xF4\x90\x80\x80", pos));
  EXPECT_EQ(1U, pos);
}

TEST(ValidUtf8, ReplacesEachBadByteAndKeepsTheRest) {
  EXPECT_EQ("ok \xC3\xA9", validUtf8("ok \xC3\xA9"));
  EXPECT_EQ("x\xEF\xBF\xBD\xEF\xBF\xBDy", validUtf8("x\xC0\xAFy"));
}

}  // namespace
}  // namespace platform::foundation
