#include "platform/widgets/protocol/request_codec.hpp"

#include <string>

#include <gtest/gtest.h>

namespace platform::widgets::protocol {
namespace {

constexpr auto kInvalidParams = static_cast<std::int64_t>(RpcErrorCode::invalidParams);

std::string nestedParams(int levels) {
  // The request object itself is the first level, params the second.
  const auto inner = static_cast<std::size_t>(levels - 2);
  return R"({"jsonrpc":"2.0","id":1,"method":"relevance","params":{"kind":"K","x":)"
         + std::string(inner, '[') + std::string(inner, ']') + "}}";
}

TEST(RequestCodec, EveryRequestReadsBackAsEncoded) {
  const RequestParams cases[] = {
      InitializeParams{},
      PlaceholderParams{"K", WidgetFamily::systemSmall},
      SnapshotParams{"K\n\"", WidgetFamily::accessoryInline, true},
      SnapshotParams{"K", WidgetFamily::systemMedium, false},
      TimelineParams{"", WidgetFamily::systemExtraLarge},
      RelevanceParams{"K"},
  };
  const RequestId ids[] = {std::int64_t{-3}, std::uint64_t{18'446'744'073'709'551'615u},
                           std::string("a"), nullptr};
  for (const RequestParams& params : cases) {
    for (const RequestId& id : ids) {
      const std::string line = encodeRequest(id, params);
      EXPECT_EQ(std::string::npos, line.find('\n'));
      const auto decoded = decodeRequest(line);
      ASSERT_TRUE(decoded.has_value()) << line;
      EXPECT_EQ(std::optional(id), decoded->id) << line;
      EXPECT_EQ(params, decoded->params) << line;
    }
  }
}

TEST(RequestCodec, TheNestingLimitIsExactlyTheDocumentedOne) {
  EXPECT_TRUE(decodeRequest(nestedParams(kMaxRequestDepth)).has_value());
  const auto refused = decodeRequest(nestedParams(kMaxRequestDepth + 1));
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(static_cast<std::int64_t>(RpcErrorCode::invalidRequest), refused.error().error.code);
  EXPECT_EQ(std::optional<RequestId>(nullptr), refused.error().id);
}

TEST(RequestCodec, ANotificationsFaultsAreNeverAddressedToAnyone) {
  const char* cases[] = {
      R"({"jsonrpc":"2.0","method":"timeline","params":[1]})",
      R"({"jsonrpc":"2.0","method":"timeline","params":{"kind":"K","family":"huge"}})",
      R"({"jsonrpc":"2.0","method":"initialize","params":{"protocolVersion":2}})",
      R"({"jsonrpc":"2.0","method":"nope"})",
  };
  for (const char* line : cases) {
    const auto decoded = decodeRequest(line);
    ASSERT_FALSE(decoded.has_value()) << line;
    EXPECT_EQ(std::nullopt, decoded.error().id) << line;
  }
}

TEST(RequestCodec, ARequestWithANullIdIsAnsweredToNull) {
  const auto decoded =
      decodeRequest(R"({"jsonrpc":"2.0","id":null,"method":"relevance","params":{}})");
  ASSERT_FALSE(decoded.has_value());
  EXPECT_EQ(std::optional<RequestId>(nullptr), decoded.error().id);
  EXPECT_EQ(kInvalidParams, decoded.error().error.code);
}

TEST(RequestCodec, ParamsAreCheckedInTheOrderTheyAreDocumented) {
  struct Case {
    const char* params;
    const char* method;
    const char* message;
  };
  const Case cases[] = {
      {R"({"family":"huge"})", "timeline", "missing param 'kind'"},
      {R"({"kind":"K"})", "placeholder", "missing param 'family'"},
      {R"({"kind":1,"family":"systemSmall"})", "snapshot", "param 'kind' must be a string"},
      {R"({"kind":"K","family":"systemSmall","isPreview":null})", "snapshot",
       "param 'isPreview' must be a boolean"},
      {R"({"protocolVersion":1.0})", "initialize", "param 'protocolVersion' must be an integer"},
      {R"({"protocolVersion":18446744073709551615})", "initialize",
       "unsupported protocol version 18446744073709551615; this extension speaks version 1"},
  };
  for (const Case& c : cases) {
    const std::string line = std::string(R"({"jsonrpc":"2.0","id":1,"method":")") + c.method
                             + R"(","params":)" + c.params + "}";
    const auto decoded = decodeRequest(line);
    ASSERT_FALSE(decoded.has_value()) << line;
    EXPECT_EQ(kInvalidParams, decoded.error().error.code) << line;
    EXPECT_EQ(c.message, decoded.error().error.message) << line;
  }
}

TEST(RequestCodec, RepeatedKeysAreRefusedRatherThanOneSilentlyWinning) {
  const auto decoded = decodeRequest(
      R"({"jsonrpc":"2.0","id":1,"id":2,"method":"relevance","params":{"kind":"K"}})");
  ASSERT_FALSE(decoded.has_value());
  EXPECT_EQ(static_cast<std::int64_t>(RpcErrorCode::invalidRequest), decoded.error().error.code);
  EXPECT_EQ(std::optional<RequestId>(nullptr), decoded.error().id);
}

}  // namespace
}  // namespace platform::widgets::protocol
