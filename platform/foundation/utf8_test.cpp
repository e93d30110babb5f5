#include "platform/foundation/utf8.hpp"

#include <optional>
#include <string_view>

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

}  // namespace
}  // namespace platform::foundation
