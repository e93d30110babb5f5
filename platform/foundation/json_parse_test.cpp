#include "platform/foundation/json_parse.hpp"

#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/json_text.hpp"
#include "platform/foundation/utf8.hpp"

namespace platform::foundation {
namespace {

using Code = JsonParseError::Code;

constexpr JsonLimits kLimits{64, 3};

std::string nested(int levels) {
  return std::string(static_cast<std::size_t>(levels), '[')
         + std::string(static_cast<std::size_t>(levels), ']');
}

TEST(ParseJson, AcceptsWhatTheLimitsAllow) {
  const std::string cases[] = {
      "{}",
      nested(3),
      R"({"a":{"b":[1]}})",
      "\xEF\xBB\xBF{\"bom\":true}",
      std::string(62, ' ') + "[]",
      R"({"a":{"k":1},"b":{"k":2}})",  // one key in two objects is no repetition
  };
  for (const std::string& text : cases) {
    EXPECT_TRUE(parseJson(text, kLimits).has_value()) << text;
  }
}

TEST(ParseJson, RefusesEachFaultWithItsCode) {
  struct Case {
    std::string text;
    Code code;
  };
  const Case cases[] = {
      {std::string(63, ' ') + "[]", Code::tooLarge},
      {std::string("{}\0{", 4), Code::nulByte},
      {std::string("\0", 1), Code::nulByte},
      {nested(4), Code::tooDeep},
      {R"({"a":[{"b":{}}]})", Code::tooDeep},
      {R"({"a":1,"a":1})", Code::duplicateKey},
      {R"([{"x":{"a":1,"a":2}}])", Code::duplicateKey},
      {"", Code::syntax},
      {"{} {}", Code::syntax},
      {"[1,]", Code::syntax},
      {"\"\xFF\"", Code::syntax},
      {R"("\ud800")", Code::syntax},
      {"1e999", Code::syntax},
  };
  for (const Case& c : cases) {
    const auto parsed = parseJson(c.text, kLimits);
    ASSERT_FALSE(parsed.has_value()) << c.text;
    EXPECT_EQ(c.code, parsed.error().code) << c.text;
    EXPECT_EQ(std::string::npos, parsed.error().message.find('\n')) << parsed.error().message;
  }
}

TEST(ParseJson, AFaultPastARefusedDepthStillRefusesForDepth) {
  const auto parsed = parseJson(nested(4) + "garbage", kLimits);
  ASSERT_FALSE(parsed.has_value());
  EXPECT_EQ(Code::tooDeep, parsed.error().code);
}

TEST(ParseJson, SyntaxMessagesQuoteBadBytesPrintably) {
  const auto parsed = parseJson("[\"\x01\xFF", kLimits);
  ASSERT_FALSE(parsed.has_value());
  for (const char c : parsed.error().message) {
    EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == '\x7F') << parsed.error().message;
  }
}

TEST(ParseJson, DeepTextWithinTheSizeCapNeverRecurses) {
  const std::string deep = nested(100'000);
  const auto parsed = parseJson(deep, JsonLimits{deep.size(), 512});
  ASSERT_FALSE(parsed.has_value());
  EXPECT_EQ(Code::tooDeep, parsed.error().code);
}

TEST(JsonQuoted, EscapesControlsAndReplacesBadBytes) {
  EXPECT_EQ(R"("a\nb\u001b")", jsonQuoted("a\nb\x1b"));
  EXPECT_EQ("\"x\xEF\xBF\xBDy\"", jsonQuoted("x\xFFy"));
}

}  // namespace
}  // namespace platform::foundation
