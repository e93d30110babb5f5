#include "host/app/render_command.hpp"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/foundation/internal/defaults_test_support.hpp"
#include "tests/support/program_run.hpp"

namespace velto::host {
namespace {

namespace fs = std::filesystem;
using platform::foundation::test_support::ScopedConfigHome;
using platform::foundation::test_support::TemporaryFolder;
using platform::widgets::WidgetFamily;
using test_support::runProgram;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct PngSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  friend bool operator==(const PngSize&, const PngSize&) = default;
};

/// The size in a PNG's header, or zeros when the file is no PNG.
PngSize pngSize(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (in.gcount() != sizeof header || header[1] != 'P' || header[2] != 'N' || header[3] != 'G') {
    return {};
  }
  const auto big = [&](int at) {
    return std::uint32_t{header[at]} << 24 | std::uint32_t{header[at + 1]} << 16
           | std::uint32_t{header[at + 2]} << 8 | std::uint32_t{header[at + 3]};
  };
  return {big(16), big(20)};
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(OutputPathFor, OneFamilyWritesOutItselfSeveralNameEachFile) {
  RenderRequest request;
  request.out = "/tmp/shots/widget.png";
  EXPECT_EQ(fs::path("/tmp/shots/widget.png"), outputPathFor(request, WidgetFamily::systemMedium));
  request.oneFilePerFamily = true;
  EXPECT_EQ(fs::path("/tmp/shots/widget-small.png"),
            outputPathFor(request, WidgetFamily::systemSmall));
  EXPECT_EQ(fs::path("/tmp/shots/widget-medium.png"),
            outputPathFor(request, WidgetFamily::systemMedium));
  request.out = "shot.svg";
  EXPECT_EQ(fs::path("shot-medium.svg"), outputPathFor(request, WidgetFamily::systemMedium));
}

// A stand-in extension's first words: the answer to "initialize".
const std::string kAnswersInitialize =
    R"(read line; echo '{"jsonrpc":"2.0","id":1,"result":{"protocolVersion":1,"widgets":[{"kind":"VeltoTimerWidget","displayName":"V","description":"d","supportedFamilies":["systemSmall","systemMedium"]}]}}'; )";

class RenderCommand : public ::testing::Test {
 protected:
  ScopedConfigHome home;
  TemporaryFolder folder;

  void storeSnapshot(const std::string& json) {
    const auto run = runProgram(VELTO_DEFAULTS_TOOL, {"write", "group.app.velto",
                                                      "velto.sharedTimerSnapshot", "--data", json});
    ASSERT_EQ(0, run.status) << run.err;
  }

  test_support::ProgramRun render(std::vector<std::string> arguments) {
    return runProgram(VELTO_WIDGET_HOST, arguments);
  }

  /// A stand-in extension script in the test's folder.
  fs::path fakeExtension(const std::string& body) {
    const fs::path path = folder.path() / "fake-extension";
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }

  std::vector<std::string> filesWritten() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
      if (entry.path().filename() != "fake-extension") {
        names.push_back(entry.path().filename().string());
      }
    }
    return names;
  }
};

TEST_F(RenderCommand, DrawsEverySizeOfTheStoredSnapshotInBothAppearances) {
  storeSnapshot(R"({"state":"running","projectName":"Deep Work","elapsedSeconds":754,)"
                R"("todaySeconds":5400,"updatedAt":818285400})");
  for (const char* appearance : {"light", "dark"}) {
    const auto run = render({"render", "--family", "all", "--appearance", appearance, "--at",
                             "2026-12-06T21:31:00Z", "--out",
                             (folder.path() / (std::string(appearance) + ".png")).string()});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("", run.err);
  }
  EXPECT_EQ((PngSize{340, 340}), pngSize(folder.path() / "light-small.png"));
  EXPECT_EQ((PngSize{728, 340}), pngSize(folder.path() / "light-medium.png"));
  EXPECT_EQ((PngSize{728, 340}), pngSize(folder.path() / "dark-medium.png"));
  EXPECT_NE(readFile(folder.path() / "light-small.png"),
            readFile(folder.path() / "dark-small.png"));

  const auto svg = render({"render", "--scale", "1", "--out", (folder.path() / "w.svg").string()});
  ASSERT_EQ(0, svg.status) << svg.err;
  EXPECT_THAT(readFile(folder.path() / "w.svg"), HasSubstr("<svg"));
  const auto scaled = render({"render", "--family", "medium", "--scale", "1", "--placeholder",
                              "--out", (folder.path() / "one.png").string()});
  ASSERT_EQ(0, scaled.status) << scaled.err;
  EXPECT_EQ((PngSize{364, 170}), pngSize(folder.path() / "one.png"));
}

TEST_F(RenderCommand, BadArgumentsAreUsageErrors) {
  const std::string out = (folder.path() / "w.png").string();
  const std::vector<std::vector<std::string>> cases = {
      {"render", "--out", out, "--bogus"},
      {"render", "--family", "large", "--out", out},
      {"render", "--scale", "0", "--out", out},
      {"render", "--scale", "nan", "--out", out},
      {"render", "--scale", "inf", "--out", out},
      {"render", "--scale", "-inf", "--out", out},
      {"render", "--family", "all", "--out", "-"},
      {"render", "--appearance", "sepia", "--out", out},
      {"render", "--out", (folder.path() / "w.txt").string()},
      {"render", "--at", "yesterday", "--out", out},
      {"render"},
      {},
      {"paint", "--out", out},
  };
  for (const auto& arguments : cases) {
    const auto run = render(arguments);
    EXPECT_EQ(64, run.status) << ::testing::PrintToString(arguments);
    EXPECT_THAT(run.err, StartsWith("velto-widget-host: "));
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
  }
  EXPECT_TRUE(filesWritten().empty());
}

TEST_F(RenderCommand, ExtensionFailuresLeaveNoFileBehind) {
  struct Case {
    std::string script;  // empty: no such extension at all
    const char* message;
  };
  const Case cases[] = {
      {"", "cannot run the extension"},
      {"exit 1", "exited with status 1 before it answered"},
      {"read line; echo 'garbage'", "answer to 'initialize' is not a JSON object"},
      {R"(read line; echo '{"jsonrpc":"2.0","id":1,"result":{"widgets":[]}}')",
       "answer to 'initialize' is malformed: it lists no widget"},
      {kAnswersInitialize + "sleep 30", "no answer to 'timeline': no reply within 2000 ms"},
      {kAnswersInitialize
           + R"(read line; echo '{"jsonrpc":"2.0","id":2,"result":{"entries":[{"date":0,"view":{"version":1,"root":{"type":"bogus"}}}],"policy":{"after":300}}}')",
       "answer to 'timeline' is malformed"},
      {kAnswersInitialize
           + R"(read line; echo '{"jsonrpc":"2.0","id":2,"result":{"entries":[],"policy":{"after":300}}}')",
       "holds no entry to draw"},
  };
  for (const Case& c : cases) {
    const fs::path extension =
        c.script.empty() ? folder.path() / "missing-extension" : fakeExtension(c.script);
    const auto run = render({"render", "--family", "all", "--extension", extension.string(),
                             "--out", (folder.path() / "w.png").string()});
    EXPECT_NE(0, run.status) << c.script;
    EXPECT_THAT(run.err, StartsWith("velto-widget-host: ")) << c.script;
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.script;
    EXPECT_TRUE(filesWritten().empty()) << c.script;
  }
}

TEST_F(RenderCommand, AnOutputInAMissingFolderIsRefusedBeforeAnythingRuns) {
  const auto run = render({"render", "--out", (folder.path() / "no" / "such" / "w.png").string()});
  EXPECT_EQ(73, run.status);
  EXPECT_THAT(run.err, HasSubstr("does not exist"));
}

TEST_F(RenderCommand, WritesToStandardOutputWhenOutIsADash) {
  for (const char* format : {"png", "svg"}) {
    const auto run = render({"render", "--format", format, "--out", "-"});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(format == std::string("png") ? 0U : std::string::npos, run.out.find("\x89PNG"));
    EXPECT_EQ(format == std::string("svg"), run.out.find("<svg") != std::string::npos);
  }
  EXPECT_TRUE(filesWritten().empty());
}

TEST_F(RenderCommand, AFullDeviceIsAnIoErrorNamingThePath) {
  const auto run = render({"render", "--out", "/dev/full", "--format", "png"});
  EXPECT_EQ(74, run.status);
  EXPECT_THAT(run.err, StartsWith("velto-widget-host: cannot write '/dev/full': No space left"));
}

/// Starts the host without waiting for it; its output goes nowhere.
pid_t startHost(const std::vector<std::string>& arguments) {
  std::vector<std::string> words{VELTO_WIDGET_HOST};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

TEST_F(RenderCommand, ASignalRemovesTheTemporaryFiles) {
  // Answers "initialize", then never the timeline: the host is left waiting.
  const fs::path extension = fakeExtension(kAnswersInitialize + "read line; read line");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t host = startHost({"render", "--family", "all", "--extension", extension.string(),
                                  "--out", (folder.path() / "w.png").string()});
    ASSERT_GT(host, 0);
    // Both stand-ins exist before the extension starts; the deadline is 2 s away.
    for (int polls = 0; polls < 1000 && filesWritten().size() < 2; ++polls) {
      ::usleep(1000);
    }
    EXPECT_EQ(2U, filesWritten().size()) << signal;
    ::kill(host, signal);
    int status = 0;
    ::waitpid(host, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    EXPECT_TRUE(filesWritten().empty()) << signal;
  }
}

}  // namespace
}  // namespace velto::host
