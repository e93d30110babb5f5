// velto-widget-host bar as a status bar runs it: standard descriptors handed
// over closed or broken, and a bar that stops reading. Waits poll up to a
// generous bound that only guards against a hang.

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/drawing_libraries.hpp"
#include "tests/support/polling.hpp"
#include "tests/support/program_run.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using velto::test_support::eventually;
using velto::test_support::readFile;
using velto::test_support::secondsSince2001;

/// How each standard descriptor of the host is set up.
struct Descriptors {
  enum class Kind { closed, path, fd };
  struct One {
    Kind kind = Kind::closed;
    std::string path;
    int flags = 0;
    int fd = -1;
  };
  One in, out, err;
};

class BarHost : public ::testing::Test {
 protected:
  BarHost() {
    char folder[] = "/tmp/velto-bar-e2e-XXXXXX";
    root_ = ::mkdtemp(folder);
    for (const char* sub : {"home", "config", "data"}) {
      fs::create_directories(root_ / sub);
    }
  }
  ~BarHost() override {
    if (host_ > 0) {
      ::kill(host_, SIGKILL);
      ::waitpid(host_, nullptr, 0);
    }
    fs::remove_all(root_);
  }

  std::vector<std::string> environment() const {
    return {"HOME=" + (root_ / "home").string(), "XDG_CONFIG_HOME=" + (root_ / "config").string(),
            "XDG_DATA_HOME=" + (root_ / "data").string()};
  }

  void writeSnapshot(const std::string& state, const std::string& project) {
    const std::string json = "{\"state\":\"" + state + "\",\"projectName\":\"" + project
                             + "\",\"elapsedSeconds\":82,\"todaySeconds\":600,\"updatedAt\":"
                             + std::to_string(secondsSince2001()) + "}";
    std::vector<std::string> command = environment();
    command.insert(command.end(), {VELTO_DEFAULTS_TOOL, "write", "group.app.velto",
                                   "velto.sharedTimerSnapshot", "--data", json});
    const auto run = velto::test_support::runProgram("/usr/bin/env", command);
    ASSERT_EQ(0, run.status) << run.err;
  }

  fs::path errPath() const { return root_ / "err"; }
  fs::path outPath() const { return root_ / "out"; }

  /// Starts `velto-widget-host bar --verbose ARGUMENTS` with `descriptors`.
  void start(const std::vector<std::string>& arguments, const Descriptors& descriptors) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    int target = 0;
    for (const Descriptors::One* one : {&descriptors.in, &descriptors.out, &descriptors.err}) {
      switch (one->kind) {
        case Descriptors::Kind::closed:
          ::posix_spawn_file_actions_addclose(&actions, target);
          break;
        case Descriptors::Kind::path:
          ::posix_spawn_file_actions_addopen(&actions, target, one->path.c_str(), one->flags, 0600);
          break;
        case Descriptors::Kind::fd:
          ::posix_spawn_file_actions_adddup2(&actions, one->fd, target);
          break;
      }
      ++target;
    }
    std::vector<std::string> words = environment();
    words.insert(words.begin(), "/usr/bin/env");
    words.insert(words.end(), {VELTO_WIDGET_HOST, "bar", "--verbose"});
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    ASSERT_EQ(0, ::posix_spawn(&host_, "/usr/bin/env", &actions, nullptr, argv.data(), environ));
    ::posix_spawn_file_actions_destroy(&actions);
  }

  static Descriptors::One file(const fs::path& path, int flags) {
    return {Descriptors::Kind::path, path.string(), flags, -1};
  }
  Descriptors::One errFile() const { return file(errPath(), O_WRONLY | O_CREAT | O_TRUNC); }

  /// Waits for the host to end; its exit status, or nothing when it did not end.
  std::optional<int> exitStatus() {
    std::optional<int> result;
    eventually([&] {
      int status = 0;
      if (::waitpid(host_, &status, WNOHANG) != host_) {
        return false;
      }
      host_ = -1;
      result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return true;
    });
    return result;
  }

  std::optional<pid_t> extensionPid() const {
    const std::string log = readFile(errPath());
    std::smatch match;
    if (!std::regex_search(log, match, std::regex(R"(started the extension \(pid (\d+)\))"))) {
      return std::nullopt;
    }
    return std::stoi(match[1]);
  }

  static bool gone(pid_t pid) {
    // Not our child: once the host ends, whoever adopts it reaps it, or not.
    return eventually([pid] {
      const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
      const auto state = stat.rfind(") ");
      return stat.empty() || (state != std::string::npos && stat[state + 2] == 'Z');
    });
  }

  fs::path root_;
  pid_t host_ = -1;
};

TEST_F(BarHost, AClosedStandardInputIsNullAndAClosedOutputIsRefused) {
  writeSnapshot("paused", "Deep Work");
  start({"--format", "i3bar"}, {{}, file(outPath(), O_WRONLY | O_CREAT | O_TRUNC), errFile()});
  ASSERT_TRUE(eventually([&] {
    return readFile(outPath()).find("Deep Work") != std::string::npos;
  })) << readFile(errPath());
  // The bar's lines are text: no drawing library is loaded for them.
  EXPECT_EQ(std::set<std::string>{}, velto::test_support::drawingLibrariesMapped(host_));
  // Else GLib's own eventfd became fd 0, and the click reader spun on it.
  EXPECT_EQ("/dev/null", fs::read_symlink("/proc/" + std::to_string(host_) + "/fd/0"));
  ::kill(host_, SIGTERM);
  EXPECT_EQ(0, exitStatus());
  EXPECT_EQ(std::string::npos, readFile(errPath()).find("click event"));

  start({}, {file("/dev/null", O_RDONLY), {}, errFile()});
  EXPECT_EQ(64, exitStatus());
  EXPECT_EQ("velto-widget-host: standard output is closed: the bar reads the widget from it\n",
            readFile(errPath()));
}

TEST_F(BarHost, AFailedWriteEndsHostAndExtensionWithOneLine) {
  writeSnapshot("running", "Deep Work");
  start({}, {file("/dev/null", O_RDONLY), file("/dev/full", O_WRONLY), errFile()});
  EXPECT_EQ(74, exitStatus());
  const std::string log = readFile(errPath());
  EXPECT_NE(
      std::string::npos,
      log.find("velto-widget-host: cannot write to standard output: No space left on device\n"))
      << log;
  const auto extension = extensionPid();
  ASSERT_TRUE(extension) << log;
  EXPECT_TRUE(gone(*extension));
}

TEST_F(BarHost, SigtermEndsAHostWhoseBarStoppedReading) {
  writeSnapshot("running", std::string(20'000, 'p'));
  std::array<int, 2> pipe{};
  ASSERT_EQ(0, ::pipe2(pipe.data(), O_CLOEXEC));
  start({}, {file("/dev/null", O_RDONLY), {Descriptors::Kind::fd, {}, 0, pipe[1]}, errFile()});
  ::close(pipe[1]);
  // Each line is 20 kB and comes each second: wait until the pipe takes no
  // more, then for the next second's line, which finds it full.
  const int capacity = ::fcntl(pipe[0], F_GETPIPE_SZ);
  ASSERT_TRUE(eventually([&] {
    int queued = 0;
    ::ioctl(pipe[0], FIONREAD, &queued);
    return queued + 20'000 > capacity;
  }));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const auto extension = extensionPid();
  ASSERT_TRUE(extension) << readFile(errPath());
  ::kill(host_, SIGTERM);
  const auto status = exitStatus();
  ::close(pipe[0]);
  EXPECT_EQ(0, status) << readFile(errPath());
  EXPECT_TRUE(gone(*extension));
}

}  // namespace
