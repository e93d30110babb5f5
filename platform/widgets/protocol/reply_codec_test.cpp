#include "platform/widgets/protocol/reply_codec.hpp"

#include <limits>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/foundation/printable_text.hpp"
#include "platform/ui/archive.hpp"
#include "platform/ui/elements.hpp"

namespace platform::widgets::protocol {
namespace {

using foundation::Date;
using ::testing::HasSubstr;
using ::testing::StartsWith;

ui::View sampleView(const std::string& text) {
  return ui::VStack(ui::HorizontalAlignment::leading, 4.0,
                    {ui::Text::verbatim(text).lineLimit(1), ui::Spacer(),
                     ui::Text::timer(Date(12.5)).monospacedDigit()});
}

/// A view `levels` deep: stacks inside stacks around one text.
ui::View deepView(int levels) {
  ui::View view = ui::Text::verbatim("core");
  for (int level = 1; level < levels; ++level) {
    view = ui::ZStack({std::move(view)});
  }
  return view;
}

nlohmann::json resultOf(const std::string& line) {
  auto reply = decodeReply(line);
  EXPECT_TRUE(reply.has_value()) << line;
  EXPECT_TRUE(reply && reply->outcome.has_value()) << line;
  return reply && reply->outcome ? *reply->outcome : nlohmann::json();
}

TEST(ReplyCodec, EveryResultReadsBackAsEncoded) {
  const InitializeResult hello{
      kProtocolVersion,
      {{"Kind", "Name", "Text", {WidgetFamily::systemSmall, WidgetFamily::accessoryInline}},
       {"Other", "", "", {}}}};
  EXPECT_EQ(hello, decodeInitializeResult(resultOf(encodeResult(std::int64_t{1}, hello))));

  const EntryMessage entry{Date(-7.25), sampleView("Deep \"Work\"\n")};
  EXPECT_EQ(entry, decodeEntryResult(resultOf(encodeResult(std::string("p"), entry))));

  for (const TimelineReloadPolicy policy :
       {TimelineReloadPolicy::after(Date(3630)), TimelineReloadPolicy::atEnd(),
        TimelineReloadPolicy::never()}) {
    const TimelineMessage timeline{{entry, {Date(60), sampleView("b")}}, policy};
    EXPECT_EQ(timeline, decodeTimelineResult(resultOf(encodeResult(nullptr, timeline))));
  }
  const TimelineMessage empty{{}, TimelineReloadPolicy::atEnd()};
  EXPECT_EQ(empty, decodeTimelineResult(resultOf(encodeResult(std::int64_t{2}, empty))));

  for (const RelevanceResult relevance : {RelevanceResult{}, RelevanceResult{0.5}}) {
    EXPECT_EQ(relevance, decodeRelevanceResult(resultOf(encodeResult(std::int64_t{3}, relevance))));
  }
}

TEST(ReplyCodec, TheDeepestArchivableViewFitsInAReply) {
  const TimelineMessage timeline{{{Date(0), deepView(ui::kMaxViewDepth)}},
                                 TimelineReloadPolicy::never()};
  const auto decoded = decodeTimelineResult(resultOf(encodeResult(std::int64_t{1}, timeline)));
  EXPECT_EQ(timeline, decoded);
}

TEST(ReplyCodec, ANonFiniteDateTravelsAsNullAndIsRefused) {
  const EntryMessage entry{Date(std::numeric_limits<double>::infinity()), sampleView("x")};
  const std::string line = encodeResult(std::int64_t{1}, entry);
  EXPECT_THAT(line, HasSubstr(R"("date":null)"));
  const auto decoded = decodeEntryResult(resultOf(line));
  ASSERT_FALSE(decoded.has_value());
  EXPECT_EQ("is malformed: a date is not a number", decoded.error().message);
}

TEST(ReplyCodec, AnErrorReplyCarriesItsCodeAndAPrintableMessage) {
  const RpcError hostile{-32602, "\x1b[31m" + std::string(100'000, 'x') + "\nmore"};
  const auto reply = decodeReply(encodeError(std::int64_t{9}, hostile));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(RequestId(std::int64_t{9}), reply->id);
  ASSERT_FALSE(reply->outcome.has_value());
  EXPECT_EQ(-32602, reply->outcome.error().code);
  EXPECT_EQ(foundation::printableText(hostile.message), reply->outcome.error().message);
}

TEST(ReplyCodec, RepliesThatAreNoRepliesAreRefusedWithTheReason) {
  struct Case {
    std::string line;
    std::string message;
  };
  const Case cases[] = {
      // Which texts are not JSON is parseJson's; one proves its reason reaches the message.
      {"garbage", "is not a JSON object: not JSON"},
      {"[1,2]", "is not a JSON object"},
      {R"({"jsonrpc":"1.0","id":1,"result":{}})", "is not a JSON-RPC 2.0 reply"},
      {R"({"jsonrpc":"2.0","result":{}})", "is not a JSON-RPC 2.0 reply"},
      {R"({"jsonrpc":"2.0","id":1.5,"result":{}})", "is not a JSON-RPC 2.0 reply"},
      {R"({"jsonrpc":"2.0","id":1})", "has no result"},
      {R"({"jsonrpc":"2.0","id":1,"result":1,"error":{"code":1,"message":""}})",
       "holds both a result and an error"},
      {R"({"jsonrpc":"2.0","id":1,"error":"bad"})", "holds an error without"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":"1","message":"m"}})", "holds an error without"},
  };
  for (const Case& c : cases) {
    const auto reply = decodeReply(c.line);
    ASSERT_FALSE(reply.has_value()) << c.line;
    EXPECT_THAT(reply.error().message, StartsWith(c.message)) << c.line;
  }
}

TEST(ReplyCodec, ResultsOfTheWrongShapeAreRefusedWithTheReason) {
  using Json = nlohmann::json;
  const Json view = ui::archive(sampleView("x"));
  struct Case {
    std::string result;
    std::string message;
  };
  const Case initialize[] = {
      {R"({"widgets":[]})", "it lists no widget"},
      {R"({"protocolVersion":2,"widgets":[{}]})", "it does not speak protocol version 1"},
      {R"({"protocolVersion":1,"widgets":[{"kind":"K","displayName":"N","description":"D"}]})",
       "the widget lists no families"},
      {R"({"protocolVersion":1,"widgets":[{"kind":"K","displayName":"N","description":"D","supportedFamilies":["huge"]}]})",
       "the widget names an unknown family"},
  };
  for (const Case& c : initialize) {
    const auto decoded = decodeInitializeResult(Json::parse(c.result));
    ASSERT_FALSE(decoded.has_value()) << c.result;
    EXPECT_EQ("is malformed: " + c.message, decoded.error().message) << c.result;
  }
  const Case timeline[] = {
      {R"({"entries":[]})", "it is not {\"entries\", \"policy\"}"},
      {R"({"entries":[],"policy":{"atEnd":false}})",
       "its policy is none of after, atEnd and never"},
      {R"({"entries":[],"policy":{"after":1,"never":true}})",
       "its policy is none of after, atEnd and never"},
      {R"({"entries":[{"date":"0","view":{}}],"policy":{"never":true}})", "a date is not a number"},
      {R"({"entries":[{"date":0}],"policy":{"never":true}})",
       "an entry is not {\"date\", \"view\"}"},
      {R"({"entries":[{"date":0,"view":{"version":1,"root":{"type":"bogus"}}}],"policy":{"never":true}})",
       "its view tree does not parse ("},
  };
  for (const Case& c : timeline) {
    const auto decoded = decodeTimelineResult(Json::parse(c.result));
    ASSERT_FALSE(decoded.has_value()) << c.result;
    EXPECT_THAT(decoded.error().message, StartsWith("is malformed: " + c.message)) << c.result;
  }
  EXPECT_FALSE(decodeEntryResult(Json::parse(R"({"entries":[]})")).has_value());
  EXPECT_FALSE(decodeRelevanceResult(Json::parse(R"({"relevance":{"score":"high"}})")).has_value());
  EXPECT_TRUE(decodeEntryResult(Json{{"entry", {{"date", 1}, {"view", view}}}}).has_value());
}

}  // namespace
}  // namespace platform::widgets::protocol
