#include "host/live/child_process.hpp"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "host/live/run_loop_for_test.hpp"

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

TEST(ChildProcess, CarriesBytesBothWays) {
  TestContext context;
  Script script("exec cat");
  Seen seen;
  auto child = ChildProcess::spawn(context.get(), script.path(), seen.events());
  ASSERT_TRUE(child.has_value()) << child.error().reason;
  ASSERT_TRUE((*child)->send("hello\n"));
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.output == "hello\n"; }));
  EXPECT_TRUE((*child)->running());
}

TEST(ChildProcess, ReportsAnEarlyExitWithItsStatus) {
  TestContext context;
  Script script("exit 3");
  Seen seen;
  auto child = ChildProcess::spawn(context.get(), script.path(), seen.events());
  ASSERT_TRUE(child.has_value()) << child.error().reason;
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.status && seen.closed; }));
  ASSERT_TRUE(WIFEXITED(*seen.status));
  EXPECT_EQ(3, WEXITSTATUS(*seen.status));
  EXPECT_FALSE((*child)->running());
  EXPECT_TRUE(gone((*child)->pid()));
}

TEST(ChildProcess, RefusesAProgramThatCannotRun) {
  TestContext context;
  Seen seen;
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

TEST(ChildProcess, KillEndsTheWholeGroup) {
  TestContext context;
  // The child starts a grandchild, tells its pid, and waits.
  Script script("sleep 300 &\necho $!\nwait");
  Seen seen;
  auto child = ChildProcess::spawn(context.get(), script.path(), seen.events());
  ASSERT_TRUE(child.has_value()) << child.error().reason;
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.output.find('\n') != std::string::npos; }));
  const pid_t grandchild = std::stoi(seen.output);
  (*child)->kill();
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

TEST(ChildProcess, DestroyingEndsAChildThatIgnoresItsClosedInput) {
  TestContext context;
  Script script("trap '' TERM HUP INT\nexec sleep 300");
  Seen seen;
  auto child = ChildProcess::spawn(context.get(), script.path(), seen.events());
  ASSERT_TRUE(child.has_value()) << child.error().reason;
  const pid_t pid = (*child)->pid();
  child->reset();
  EXPECT_TRUE(gone(pid));
}

TEST(ChildProcess, DestroyingLetsAWellBehavedChildEndOnItsOwn) {
  TestContext context;
  char folder[] = "/tmp/velto-child-XXXXXX";
  const std::filesystem::path marker = std::filesystem::path(::mkdtemp(folder)) / "ended";
  // Reads until its input closes, then leaves a mark: it ended by itself.
  Script script("echo ready\ncat >/dev/null\ntouch " + marker.string());
  Seen seen;
  auto child = ChildProcess::spawn(context.get(), script.path(), seen.events());
  ASSERT_TRUE(child.has_value()) << child.error().reason;
  ASSERT_TRUE(runUntil(context.get(), [&] { return seen.output == "ready\n"; }));
  const pid_t pid = (*child)->pid();
  child->reset();
  EXPECT_TRUE(gone(pid));
  EXPECT_TRUE(std::filesystem::exists(marker));
  std::filesystem::remove_all(marker.parent_path());
}

TEST(ChildProcess, RefusesToQueueWithoutBoundForAChildThatDoesNotRead) {
  TestContext context;
  Script script("exec sleep 300");
  Seen seen;
  auto child = ChildProcess::spawn(context.get(), script.path(), seen.events());
  ASSERT_TRUE(child.has_value()) << child.error().reason;
  const std::string block(1024 * 1024, 'x');
  bool refused = false;
  for (int i = 0; i < 16 && !refused; ++i) {
    refused = !(*child)->send(block);
  }
  EXPECT_TRUE(refused);
  EXPECT_LE((*child)->unsent(), kChildUnsentLimit);
}

}  // namespace
}  // namespace velto::host::live
