#include "host/live/blocking_extension.hpp"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/client/replies.hpp"

namespace velto::host::live {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Json = nlohmann::json;

/// A stand-in extension: a shell script in a fresh folder, gone with the value.
class Script {
 public:
  explicit Script(const std::string& body, fs::perms perms = fs::perms::owner_all) {
    char folder[] = "/tmp/velto-blocking-XXXXXX";
    folder_ = ::mkdtemp(folder);
    path_ = folder_ / "extension";
    std::ofstream(path_) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path_, perms);
  }
  ~Script() { fs::remove_all(folder_); }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path folder_;
  fs::path path_;
};

// Answers the first request with `result`.
std::string answering(const std::string& result) {
  return R"(read line; echo '{"jsonrpc":"2.0","id":1,"result":)" + result + "}'";
}

TEST(BlockingExtension, AsksTheRealProtocolAndEndsTheExtensionCleanly) {
  ::setenv("VELTO_FAKE_MODE", "normal", 1);
  auto extension = BlockingExtension::start(VELTO_FAKE_EXTENSION);
  ::unsetenv("VELTO_FAKE_MODE");
  ASSERT_TRUE(extension.has_value()) << extension.error();
  const auto hello = extension->ask("initialize", initializeParams());
  ASSERT_TRUE(hello.has_value()) << hello.error();
  const auto declared = decodeInitialize(*hello);
  ASSERT_TRUE(declared.has_value()) << declared.error();
  EXPECT_EQ("FakeWidget", declared->widgets.at(0).kind);
  const auto params = widgetParams("FakeWidget", platform::widgets::WidgetFamily::systemSmall);
  const auto placeholder = extension->ask("placeholder", params);
  ASSERT_TRUE(placeholder.has_value()) << placeholder.error();
  EXPECT_TRUE(decodeEntryResult(*placeholder).has_value());
  const auto timeline = extension->ask("timeline", params);
  ASSERT_TRUE(timeline.has_value()) << timeline.error();
  EXPECT_EQ(1u, decodeTimeline(*timeline)->entries.size());
  EXPECT_EQ("exited with status 0", extension->finish());
  EXPECT_FALSE(extension->ask("timeline", params).has_value());
}

TEST(BlockingExtension, EveryAnswerThatIsNoGoodReplyEndsTheExtensionWithOneLine) {
  using namespace std::chrono_literals;
  struct Case {
    std::string script;
    const char* says;
    std::chrono::milliseconds deadline = RpcClient::kReplyDeadline;
  };
  const Case cases[] = {
      {"exit 3",
       "no answer to 'initialize': the extension exited with status 3 before it answered"},
      {"read line; exit 0", "the extension exited with status 0 before it answered"},
      {"read line; kill -9 $$",
       "the extension was killed by signal 9 (SIGKILL) before it answered"},
      {"read line; echo garbage", "answer to 'initialize' is not a JSON object"},
      {R"(read line; echo '{"jsonrpc":"2.0","id":7,"result":{}}')",
       "answers request 7, which nobody sent"},
      {R"(read line; printf '{"jsonrpc":"2.0","id":1,"result":{}}\0garbage\n')", "NUL"},
      {R"(read line; echo '{"jsonrpc":"2.0","id":1,"result":{},"result":{"a":1}}')",
       "holds the key \"result\" twice"},
      {"read line; head -c 2000000 /dev/zero | tr '\\0' x; echo",
       "a line longer than the protocol allows"},
      {R"(read line; echo '{"jsonrpc":"2.0","id":1,"error":{"code":-32602,"message":"unknown family"}}')",
       "the extension refused 'initialize': unknown family"},
      // An escape sequence, a line break and half a megabyte of text.
      {R"sh(read line; printf '{"jsonrpc":"2.0","id":1,"error":{"code":-1,"message":"\\u001b[31m%s\\nnext"}}\n' "$(head -c 500000 /dev/zero | tr '\0' x)")sh",
       "refused 'initialize': \\u001b[31mxxx"},
      {"read line; exec sleep 30", "no answer to 'initialize': no reply within 150 ms", 150ms},
  };
  for (const Case& c : cases) {
    const Script script(c.script);
    auto extension = BlockingExtension::start(script.path(), c.deadline);
    ASSERT_TRUE(extension.has_value()) << extension.error();
    const auto result = extension->ask("initialize", initializeParams());
    ASSERT_FALSE(result.has_value()) << c.script;
    const std::string& error = result.error();
    EXPECT_THAT(error, HasSubstr(c.says)) << c.script;
    EXPECT_EQ(std::string::npos, error.find('\n')) << error;
    EXPECT_EQ(std::string::npos, error.find('\x1b')) << error;
    EXPECT_LT(error.size(), 500u) << c.script;
    // Ended: a later request is not sent to it at all.
    EXPECT_THAT(extension->ask("timeline", Json::object()).error(), HasSubstr("no longer running"));
  }
}

TEST(BlockingExtension, PassesTheResultOfAGoodReplyWithoutWaitingForTheEnd) {
  const Script script(answering(R"({"widgets":[]})") + "; exec sleep 30");
  auto extension = BlockingExtension::start(script.path());
  ASSERT_TRUE(extension.has_value()) << extension.error();
  const auto result = extension->ask("initialize", initializeParams());
  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_EQ(Json::parse(R"({"widgets":[]})"), *result);
}

TEST(BlockingExtension, AnExtensionThatStopsReadingFailsTheRequestNotTheHost) {
  using namespace std::chrono_literals;
  // Nothing here ignores SIGPIPE: the second request meets a closed pipe.
  const Script script(
      "read line; exec 0<&-; echo '{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{}}'; "
      "exec sleep 30");
  auto extension = BlockingExtension::start(script.path(), 300ms);
  ASSERT_TRUE(extension.has_value()) << extension.error();
  ASSERT_TRUE(extension->ask("initialize", initializeParams()).has_value());
  const auto second = extension->ask("timeline", Json::object());
  ASSERT_FALSE(second.has_value());
  EXPECT_THAT(second.error(), HasSubstr("no answer to 'timeline'"));
}

TEST(BlockingExtension, FinishKillsAnExtensionThatDoesNotEndByItself) {
  const Script script("trap '' TERM HUP INT; exec sleep 300");
  auto extension = BlockingExtension::start(script.path());
  ASSERT_TRUE(extension.has_value()) << extension.error();
  EXPECT_EQ("was killed by signal 9 (SIGKILL)", extension->finish());
}

TEST(BlockingExtension, SaysWhenTheProgramCannotRun) {
  const Script notExecutable("exit 0", fs::perms::owner_read | fs::perms::owner_write);
  for (const fs::path& program : {fs::path("/nonexistent/velto-widget-extension"),
                                  notExecutable.path(), fs::temp_directory_path()}) {
    const auto extension = BlockingExtension::start(program);
    ASSERT_FALSE(extension.has_value()) << program;
    EXPECT_THAT(extension.error(), HasSubstr("cannot run the extension"));
    EXPECT_THAT(extension.error(), HasSubstr(program.string()));
  }
}

}  // namespace
}  // namespace velto::host::live
