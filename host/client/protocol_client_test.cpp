#include "host/client/protocol_client.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace velto::host {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

/// A stand-in extension: a script made executable in a fresh folder.
class FakeExtension {
 public:
  explicit FakeExtension(const std::string& body, fs::perms perms = fs::perms::owner_all) {
    folder_ = fs::temp_directory_path()
              / ("velto-fake-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(folder_);
    std::ofstream(path()) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path(), perms);
  }
  ~FakeExtension() { fs::remove_all(folder_); }
  fs::path path() const { return folder_ / "extension"; }

 private:
  static inline int counter_ = 0;
  fs::path folder_;
};

std::string errorOf(const std::string& script,
                    std::chrono::milliseconds deadline = kReplyDeadline) {
  FakeExtension fake(script);
  auto process = ExtensionProcess::launch(fake.path());
  if (!process) {
    return "launch: " + process.error().message;
  }
  ProtocolClient client(std::move(*process));
  auto result = client.call("initialize", {{"protocolVersion", 1}}, deadline);
  if (result) {
    return "ok: " + result->dump();
  }
  // Once failed, the client refuses at once rather than talking to a dead child.
  EXPECT_FALSE(client.call("timeline", nlohmann::json::object()).has_value());
  return result.error().message;
}

TEST(ProtocolClient, AnswersThatAreNotGoodRepliesAreReported) {
  struct Case {
    const char* script;
    const char* expected;
  };
  const Case cases[] = {
      {"exit 3", "ended before answering 'initialize' (the extension exited with status 3)"},
      {"read line; echo 'garbage'", "is not a JSON object"},
      {"read line; echo '[1,2]'", "is not a JSON object"},
      {R"(read line; echo '{"jsonrpc":"2.0","id":7,"result":{}}')",
       "not a JSON-RPC 2.0 reply to request 1"},
      {R"(read line; echo '{"jsonrpc":"2.0","id":1}')", "has no result"},
      {R"(read line; echo '{"jsonrpc":"2.0","id":1,"error":{"code":-32602,"message":"unknown family"}}')",
       "refused 'initialize': unknown family (code -32602)"},
      {"read line; kill -9 $$", "killed by signal 9"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(errorOf(c.script), HasSubstr(c.expected)) << c.script;
  }
}

TEST(ProtocolClient, TheExtensionsErrorTextIsShownOnOneShortLine) {
  // An escape sequence, a line break and half a megabyte of text.
  const std::string message = errorOf(
      R"sh(read line; printf '{"jsonrpc":"2.0","id":1,"error":{"code":-1,"message":"\\u001b[31m%s\\nnext"}}\n' "$(head -c 500000 /dev/zero | tr '\0' x)")sh");
  EXPECT_THAT(message, HasSubstr("refused 'initialize': \\u001b[31mxxx"));
  EXPECT_EQ(std::string::npos, message.find('\x1b'));
  EXPECT_EQ(std::string::npos, message.find('\n'));
  EXPECT_LT(message.size(), 500u);
}

TEST(ProtocolClient, RepliesAreParsedWithTheRequestsGuards) {
  const std::string nul =
      errorOf(R"(read line; printf '{"jsonrpc":"2.0","id":1,"result":{}}\0garbage\n')");
  EXPECT_THAT(nul, HasSubstr("reply to 'initialize' is not a JSON object: the text holds a NUL"));
  const std::string twice =
      errorOf(R"(read line; echo '{"jsonrpc":"2.0","id":1,"result":{},"result":{"a":1}}')");
  EXPECT_THAT(twice, HasSubstr("holds the key \"result\" twice"));
}

TEST(ProtocolClient, ALateReplyFailsAtTheDeadlineAndEndsTheChild) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THAT(errorOf("read line; sleep 30", std::chrono::milliseconds(150)),
              HasSubstr("did not answer 'initialize' within 150 ms"));
  // Neither the wait nor the ending of the child takes anywhere near 30 s.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ProtocolClient, PassesTheResultOfAGoodReply) {
  EXPECT_EQ(
      R"(ok: {"widgets":[]})",
      errorOf(R"(read line; echo '{"jsonrpc":"2.0","id":1,"result":{"widgets":[]}}'; sleep 5)"));
}

TEST(ExtensionProcess, RefusesWhatCannotBeRun) {
  EXPECT_THAT(ExtensionProcess::launch("/nonexistent/velto-widget-extension").error().message,
              HasSubstr("cannot run extension '/nonexistent/velto-widget-extension'"));
  // Without any execute bit a file cannot run, for root too.
  FakeExtension notExecutable("exit 0", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(ExtensionProcess::launch(notExecutable.path()).has_value());
  EXPECT_FALSE(ExtensionProcess::launch(fs::temp_directory_path()).has_value());
}

}  // namespace
}  // namespace velto::host
