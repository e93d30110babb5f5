#include "host/client/rpc_client.hpp"

#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

namespace velto::host {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

const RpcClient::Instant kStart = RpcClient::Instant{} + 1000s;

std::int64_t send(RpcClient& client, const char* method, RpcClient::Instant at = kStart) {
  auto sent = client.request(method, Json::object(), at);
  EXPECT_TRUE(sent.has_value());
  return sent ? sent->id : -1;
}

std::string resultLine(std::int64_t id, const std::string& result = "{\"ok\":1}") {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"result":)" + result + "}";
}

TEST(RpcClient, WritesOneJsonRpcRequestPerLine) {
  RpcClient client;
  auto first = client.request("timeline", {{"kind", "K"}, {"family", "systemSmall"}}, kStart);
  auto second = client.request("relevance", {{"kind", "K"}}, kStart);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->id, second->id);
  ASSERT_EQ('\n', first->line.back());
  EXPECT_EQ(first->line.size() - 1, first->line.find('\n'));
  const Json sent = Json::parse(first->line);
  EXPECT_EQ((Json{{"jsonrpc", "2.0"},
                  {"id", first->id},
                  {"method", "timeline"},
                  {"params", {{"kind", "K"}, {"family", "systemSmall"}}}}),
            sent);
}

TEST(RpcClient, MatchesRepliesToRequestsInOrder) {
  RpcClient client;
  const auto a = send(client, "initialize");
  const auto b = send(client, "timeline");
  auto first = client.receive(resultLine(a, "1"), kStart + 1s);
  ASSERT_TRUE(std::holds_alternative<RpcReply>(first));
  EXPECT_EQ("initialize", std::get<RpcReply>(first).method);
  EXPECT_EQ(Json(1), *std::get<RpcReply>(first).outcome);

  auto second = client.receive(R"({"jsonrpc":"2.0","id":)" + std::to_string(b)
                                   + R"(,"error":{"code":-32602,"message":"unknown kind"}})",
                               kStart + 1s);
  ASSERT_TRUE(std::holds_alternative<RpcReply>(second));
  const RpcReply& refused = std::get<RpcReply>(second);
  EXPECT_EQ(b, refused.id);
  ASSERT_FALSE(refused.outcome.has_value());
  EXPECT_EQ((RpcError{-32602, "unknown kind"}), refused.outcome.error());
  EXPECT_EQ(0u, client.pendingCount());
}

TEST(RpcClient, HandsATypedRequestBackWithItsReplyTimeoutOrReset) {
  namespace protocol = platform::widgets::protocol;
  using platform::widgets::WidgetFamily;
  const protocol::RequestParams placeholder =
      protocol::PlaceholderParams{"K", WidgetFamily::systemSmall};
  const protocol::RequestParams timeline =
      protocol::TimelineParams{"K", WidgetFamily::systemMedium};
  RpcClient client(2000ms);

  auto asked = client.request(placeholder, kStart, /*tag=*/7);
  ASSERT_TRUE(asked.has_value());
  EXPECT_EQ("placeholder", Json::parse(asked->line)["method"]);
  auto answer = client.receive(resultLine(asked->id), kStart + 1s);
  ASSERT_TRUE(std::holds_alternative<RpcReply>(answer));
  EXPECT_EQ(placeholder, std::get<RpcReply>(answer).request);
  EXPECT_EQ(7U, std::get<RpcReply>(answer).tag);

  // One asked by method name carries nothing to read it by.
  const auto untyped = send(client, "timeline");
  answer = client.receive(resultLine(untyped), kStart + 1s);
  ASSERT_TRUE(std::holds_alternative<RpcReply>(answer));
  EXPECT_EQ(std::nullopt, std::get<RpcReply>(answer).request);

  const auto late = client.request(timeline, kStart, 8);
  ASSERT_TRUE(late.has_value());
  EXPECT_EQ((std::vector<RpcTimeout>{{late->id, "timeline", timeline, 8}}),
            client.expire(kStart + 2s));
  const auto dropped = client.request(timeline, kStart + 2s, 9);
  ASSERT_TRUE(dropped.has_value());
  EXPECT_EQ((std::vector<RpcTimeout>{{dropped->id, "timeline", timeline, 9}}), client.reset());
}

TEST(RpcClient, TakesEveryLineThatIsNotTheNextReplyForAFault) {
  struct Case {
    std::string line;
    const char* reasonHolds;
  };
  // Requests 1 and 2 are pending, in that order.
  const Case cases[] = {
      {"", "not JSON"},
      {"not json", "not JSON"},
      {resultLine(1) + std::string(1, '\0') + "junk", "NUL"},
      {std::string(300, '[') + std::string(300, ']'), "deeper"},
      {"[1,2]", "not a JSON object"},
      {R"({"id":1,"result":1})", "not a JSON-RPC 2.0 reply"},
      {R"({"jsonrpc":"1.0","id":1,"result":1})", "not a JSON-RPC 2.0 reply"},
      {R"({"jsonrpc":"2.0","result":1})", "not a JSON-RPC 2.0 reply"},
      {resultLine(2), "out of order"},
      {resultLine(7), "nobody sent"},
      {R"({"jsonrpc":"2.0","id":"1","result":1})", "nobody sent"},
      {R"({"jsonrpc":"2.0","id":1,"method":"x"})", "has no result"},
      {R"({"jsonrpc":"2.0","method":"notify","params":{}})", "not a JSON-RPC 2.0 reply"},
      {R"({"jsonrpc":"2.0","id":1})", "has no result"},
      {R"({"jsonrpc":"2.0","id":1,"result":1,"error":{"code":1,"message":"m"}})",
       "both a result and an error"},
      {R"({"jsonrpc":"2.0","id":1,"error":"bad"})", "without an integer code"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":1.5,"message":"m"}})", "without an integer code"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":1}})", "string message"},
      {R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"parse error"}})",
       "parse error"},
  };
  for (const Case& c : cases) {
    RpcClient client;
    send(client, "initialize");
    send(client, "timeline");
    auto got = client.receive(c.line, kStart + 1s);
    ASSERT_TRUE(std::holds_alternative<RpcFault>(got)) << c.line.substr(0, 60);
    const std::string& reason = std::get<RpcFault>(got).reason;
    EXPECT_NE(std::string::npos, reason.find(c.reasonHolds)) << reason;
    EXPECT_NE(std::string::npos, reason.find("'initialize'")) << reason;
    EXPECT_EQ(std::string::npos, reason.find('\n')) << reason;
    EXPECT_LT(reason.size(), 200u) << reason;
    EXPECT_EQ(2u, client.pendingCount());
  }
}

TEST(RpcClient, KeepsAHostileIdShortInTheReason) {
  RpcClient client;
  send(client, "timeline");
  auto got = client.receive(
      R"({"jsonrpc":"2.0","id":")" + std::string(100000, 'z') + R"(","result":1})", kStart);
  ASSERT_TRUE(std::holds_alternative<RpcFault>(got));
  EXPECT_LT(std::get<RpcFault>(got).reason.size(), 200u);
}

TEST(RpcClient, TakesLinesNobodyAskedForForFaults) {
  RpcClient client;
  for (int i = 0; i < 10000; ++i) {
    auto got = client.receive(resultLine(i), kStart);
    ASSERT_TRUE(std::holds_alternative<RpcFault>(got));
  }
  EXPECT_EQ(0u, client.pendingCount());
  // Replies to requests sent afterwards still match.
  const auto id = send(client, "timeline");
  EXPECT_TRUE(std::holds_alternative<RpcReply>(client.receive(resultLine(id), kStart)));
}

TEST(RpcClient, ReportsRequestsPastTheirDeadline) {
  RpcClient client;
  EXPECT_EQ(std::nullopt, client.nextDeadline());
  const auto a = send(client, "initialize", kStart);
  const auto b = send(client, "timeline", kStart + 500ms);
  EXPECT_EQ(kStart + RpcClient::kReplyDeadline, client.nextDeadline());
  EXPECT_TRUE(client.expire(kStart + 1999ms).empty());

  EXPECT_EQ((std::vector<RpcTimeout>{{a, "initialize"}}), client.expire(kStart + 2s));
  EXPECT_EQ(kStart + 500ms + RpcClient::kReplyDeadline, client.nextDeadline());
  EXPECT_EQ((std::vector<RpcTimeout>{{b, "timeline"}}), client.expire(kStart + 1h));
  EXPECT_EQ(std::nullopt, client.nextDeadline());
}

TEST(RpcClient, TakesAReplyAfterItsDeadlineForAFault) {
  RpcClient client;
  const auto id = send(client, "timeline");
  auto got = client.receive(resultLine(id), kStart + RpcClient::kReplyDeadline);
  ASSERT_TRUE(std::holds_alternative<RpcFault>(got));
  EXPECT_NE(std::string::npos, std::get<RpcFault>(got).reason.find("did not answer 'timeline'"));
}

TEST(RpcClient, BoundsThePendingRequests) {
  RpcClient client(2s, 3);
  for (int i = 0; i < 3; ++i) {
    send(client, "relevance");
  }
  auto refused = client.request("timeline", Json::object(), kStart);
  ASSERT_FALSE(refused.has_value());
  EXPECT_NE(std::string::npos, refused.error().reason.find("'timeline'"));
  EXPECT_EQ(3u, client.pendingCount());
}

TEST(RpcClient, ResetForgetsPendingRequestsButNeverReusesTheirIds) {
  RpcClient client;
  const auto old = send(client, "initialize");
  EXPECT_EQ((std::vector<RpcTimeout>{{old, "initialize"}}), client.reset());
  EXPECT_EQ(std::nullopt, client.nextDeadline());
  const auto fresh = send(client, "initialize");
  EXPECT_NE(old, fresh);
  // The old child's late answer cannot pass for the new child's.
  EXPECT_TRUE(std::holds_alternative<RpcFault>(client.receive(resultLine(old), kStart)));
  EXPECT_TRUE(std::holds_alternative<RpcReply>(client.receive(resultLine(fresh), kStart)));
}

}  // namespace
}  // namespace velto::host
