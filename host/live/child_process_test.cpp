#include "host/live/child_process.hpp"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "tests/support/run_loop.hpp"

namespace velto::host::live {
namespace {

using testing::runUntil;
using testing::TestContext;

/// A shell script in a temporary folder, made executable, gone with the value.
class Script {
 public:
  explicit Script(const std::string& body) {
    char folder[] = "/tmp/velto-child-XXXXXX";
    folder_ = ::mkdtemp(folder);
    path_ = folder_ / "child";
    std::ofstream(path_) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
  }
  ~Script() { std::filesystem::remove_all(folder_); }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

struct Seen {
  std::string output;
  bool closed = false;
  std::optional<int> status;

  ChildEvents events() {
    return {[this](std::string_view bytes) { output.append(bytes); }, [this] { closed = true; },
            [this](int waitStatus) { status = waitStatus; }};
  }
};

// A process that is gone: not running and not left as a zombie of ours.
bool gone(pid_t pid) {
  return ::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

class ChildProcessTest : public ::testing::Test {
 protected:
  /// Starts a child running the shell script `body`; null, and a failure, when it cannot.
  ChildProcess* start(const std::string& body) {
    script_.emplace(body);
    auto spawned = ChildProcess::spawn(context.get(), script_->path(), seen.events());
    if (!spawned) {
      ADD_FAILURE() << spawned.error().reason;
      return nullptr;
    }
    child_ = std::move(*spawned);
    return child_.get();
  }

  TestContext context;
  Seen seen;
  std::optional<Script> script_;
  std::unique_ptr<ChildProcess> child_;
};

TEST_F(ChildProcessTest, CarriesBytesBothWays) {
  ChildProcess* const child = start("exec cat");
  ASSERT_TRUE(child);
  ASSERT_TRUE(child->send("hello\n"));
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.output == "hello\n"; }));
  EXPECT_TRUE(child->running());
}

TEST_F(ChildProcessTest, ReportsAnEarlyExitWithItsStatus) {
  ChildProcess* const child = start("exit 3");
  ASSERT_TRUE(child);
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.status && seen.closed; }));
  ASSERT_TRUE(WIFEXITED(*seen.status));
  EXPECT_EQ(3, WEXITSTATUS(*seen.status));
  EXPECT_FALSE(child->running());
  EXPECT_TRUE(gone(child->pid()));
}

TEST_F(ChildProcessTest, RefusesAProgramThatCannotRun) {
  auto child = ChildProcess::spawn(context.get(), "/nonexistent/extension", seen.events());
  ASSERT_FALSE(child.has_value());
  EXPECT_NE(std::string::npos, child.error().reason.find("/nonexistent/extension"));
  EXPECT_TRUE(child.error().cannotRun);

  // Executable, but no program the kernel knows how to start.
  Script garbage("");
  std::ofstream(garbage.path(), std::ios::trunc) << "\x7f"
                                                 << "not a program\n";
  auto notAProgram = ChildProcess::spawn(context.get(), garbage.path(), seen.events());
  ASSERT_FALSE(notAProgram.has_value());
  EXPECT_TRUE(notAProgram.error().cannotRun) << notAProgram.error().reason;
}

TEST_F(ChildProcessTest, KillEndsTheWholeGroup) {
  // The child starts a grandchild, tells its pid, and waits.
  ChildProcess* const child = start("sleep 300 &\necho $!\nwait");
  ASSERT_TRUE(child);
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.output.find('\n') != std::string::npos; }));
  const pid_t grandchild = std::stoi(seen.output);
  child->kill();
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.status.has_value(); }));
  ASSERT_TRUE(WIFSIGNALED(*seen.status));
  EXPECT_EQ(SIGKILL, WTERMSIG(*seen.status));
  // The grandchild was killed too (it may linger a moment as its new parent's zombie).
  EXPECT_TRUE(runUntil(context.get(), [&] {
    std::ifstream stat("/proc/" + std::to_string(grandchild) + "/stat");
    std::string pid, name, state;
    return !(stat >> pid >> name >> state) || state == "Z";
  }));
}

TEST_F(ChildProcessTest, DestroyingEndsAChildThatIgnoresItsClosedInput) {
  ChildProcess* const child = start("trap '' TERM HUP INT\nexec sleep 300");
  ASSERT_TRUE(child);
  const pid_t pid = child->pid();
  child_.reset();
  EXPECT_TRUE(gone(pid));
}

TEST_F(ChildProcessTest, DestroyingLetsAWellBehavedChildEndOnItsOwn) {
  char folder[] = "/tmp/velto-child-XXXXXX";
  const std::filesystem::path marker = std::filesystem::path(::mkdtemp(folder)) / "ended";
  // Reads until its input closes, then leaves a mark: it ended by itself.
  ChildProcess* const child = start("echo ready\ncat >/dev/null\ntouch " + marker.string());
  ASSERT_TRUE(child);
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.output == "ready\n"; }));
  const pid_t pid = child->pid();
  child_.reset();
  EXPECT_TRUE(gone(pid));
  EXPECT_TRUE(std::filesystem::exists(marker));
  std::filesystem::remove_all(marker.parent_path());
}

TEST_F(ChildProcessTest, AChildThatClosedItsInputFailsTheSendNotTheHost) {
  // Nothing here ignores SIGPIPE, as in a program that embeds the host's parts.
  ChildProcess* const child = start("exec 0<&-\necho closed\nexec sleep 300");
  ASSERT_TRUE(child);
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.output == "closed\n"; }));
  EXPECT_FALSE(child->send("hello\n"));
  EXPECT_FALSE(child->send("again\n"));
  EXPECT_TRUE(child->running());
}

TEST_F(ChildProcessTest, ClosingTheInputLetsAWellBehavedChildEnd) {
  ChildProcess* const child = start("cat >/dev/null\nexit 4");
  ASSERT_TRUE(child);
  child->closeInput();
  EXPECT_FALSE(child->send("late\n"));
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.status.has_value(); }));
  ASSERT_TRUE(WIFEXITED(*seen.status));
  EXPECT_EQ(4, WEXITSTATUS(*seen.status));
}

TEST_F(ChildProcessTest, RefusesToQueueWithoutBoundForAChildThatDoesNotRead) {
  ChildProcess* const child = start("exec sleep 300");
  ASSERT_TRUE(child);
  const std::string block(1024 * 1024, 'x');
  bool refused = false;
  for (int i = 0; i < 16 && !refused; ++i) {
    refused = !child->send(block);
  }
  EXPECT_TRUE(refused);
  EXPECT_LE(child->unsent(), kChildUnsentLimit);
}

}  // namespace
}  // namespace velto::host::live
