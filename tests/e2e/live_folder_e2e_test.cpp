// The live host against the real tools, as a script would drive them: the bar
// host prints one line per change, velto-timer writes the snapshot, and the
// defaults folder is swapped, re-pointed or left undecidable underneath.
// Waits poll up to a generous bound; nothing asserts on how fast anything is.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/polling.hpp"
#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using velto::test_support::eventually;
using velto::test_support::ProgramRun;
using velto::test_support::readFile;
using velto::test_support::runProgram;

std::string lastLine(const std::string& text) {
  const auto end = text.find_last_not_of('\n');
  if (end == std::string::npos) {
    return {};
  }
  const auto start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t found = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++found;
  }
  return found;
}

// Whether process `pid` holds an inotify watch on the folder at `path` itself.
bool watchesInode(pid_t pid, const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return false;
  }
  char inode[32];
  std::snprintf(inode, sizeof inode, " ino:%llx ", static_cast<unsigned long long>(status.st_ino));
  std::error_code error;
  for (const auto& entry :
       fs::directory_iterator("/proc/" + std::to_string(pid) + "/fdinfo", error)) {
    std::ifstream info(entry.path());
    for (std::string line; std::getline(info, line);) {
      if (line.starts_with("inotify") && (line + " ").find(inode) != std::string::npos) {
        return true;
      }
    }
  }
  return false;
}

// A program left running in the background, its output in files; ended with
// SIGTERM (then SIGKILL) when it goes out of scope.
class Background {
 public:
  Background(const std::vector<std::string>& command, const fs::path& out, const fs::path& err) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0600);
    ::posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0600);
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    char* noEnvironment[] = {nullptr};
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), noEnvironment) != 0) {
      pid_ = -1;
    }
    ::posix_spawn_file_actions_destroy(&actions);
  }
  ~Background() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGTERM);
      if (!endsWithin()) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
      }
    }
  }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  pid_t pid() const { return pid_; }

  // Waits (up to the patience) for the program to end; its exit status, or
  // 128 + N when killed by signal N.
  std::optional<int> endsWithin() {
    eventually([this] {
      int status = 0;
      if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      return status_.has_value();
    });
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

class LiveFolder : public ::testing::Test {
 protected:
  LiveFolder() {
    char folder[] = "/tmp/velto-folder-e2e-XXXXXX";
    root_ = ::mkdtemp(folder);
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "data");
    fs::create_directories(root_ / "cfg");
    // A copy of the extension the tests may take away.
    fs::create_directories(root_ / "libexec");
    fs::copy_file(VELTO_WIDGET_EXTENSION, extension());
  }
  ~LiveFolder() override {
    host_.reset();
    fs::remove_all(root_);
  }

  fs::path extension() const { return root_ / "libexec" / "velto-widget-extension"; }
  fs::path out() const { return root_ / "bar.out"; }
  fs::path err() const { return root_ / "bar.err"; }
  fs::path config() const { return root_ / "cfg"; }
  fs::path defaults() const { return config() / "velto" / "defaults"; }

  std::vector<std::string> environment() const {
    return {"HOME=" + (root_ / "home").string(), "XDG_CONFIG_HOME=" + config().string(),
            "XDG_DATA_HOME=" + (root_ / "data").string()};
  }

  // `program` with `arguments` under exactly `environment`.
  static std::vector<std::string> command(const std::vector<std::string>& environment,
                                          const std::string& program,
                                          const std::vector<std::string>& arguments) {
    std::vector<std::string> words{"/usr/bin/env", "-i"};
    words.insert(words.end(), environment.begin(), environment.end());
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
  }

  ProgramRun run(const std::string& program, const std::vector<std::string>& arguments) const {
    auto words = command(environment(), program, arguments);
    return runProgram(words.front(), {words.begin() + 1, words.end()});
  }

  void startTimer(const std::string& project) const {
    const auto started = run(VELTO_TIMER_TOOL, {"start", project});
    ASSERT_EQ(0, started.status) << started.err;
  }

  void startBar() {
    host_.emplace(command(environment(), VELTO_WIDGET_HOST,
                          {"bar", "--verbose", "--extension", extension().string()}),
                  out(), err());
    ASSERT_GT(host_->pid(), 0);
  }

  bool barShows(const std::string& text) {
    return eventually([&] { return lastLine(readFile(out())).find(text) != std::string::npos; });
  }

  fs::path root_;
  std::optional<Background> host_;
};

struct Replacement {
  const char* name;
  std::function<void(const fs::path& root)> prepare;
  std::function<void(const fs::path& root)> replace;
};

// After any swap of the defaults folder or a folder above it, the next write
// shows as any other does: the host watches the new folder as soon as it is told
// of the swap, not when a rescan finds it seconds later (or never).
TEST_F(LiveFolder, FollowsTheDefaultsFolderThroughEveryReplacement) {
  const auto plainFolder = [](const fs::path& root) {
    fs::create_directories(root / "cfg/velto/defaults");
  };
  // Takes the folder away by `takeAway`, then makes a plain one in its place.
  const auto remadeAfter = [](void (*takeAway)(const fs::path& defaults)) {
    return [takeAway](const fs::path& root) {
      takeAway(root / "cfg/velto/defaults");
      fs::create_directory(root / "cfg/velto/defaults");
    };
  };
  // Every kind of swap is FolderWatch's (folder_watch_test); these are the ones a
  // person makes from a shell.
  const std::vector<Replacement> cases = {
      {"folder renamed away and made again", plainFolder,
       remadeAfter([](const fs::path& d) { fs::rename(d, d.string() + ".old"); })},
      {"symlinked folder deleted and made a plain folder",
       [](const fs::path& root) {
         fs::create_directories(root / "dot/d");
         fs::create_directories(root / "cfg/velto");
         fs::create_directory_symlink(root / "dot/d", root / "cfg/velto/defaults");
       },
       remadeAfter([](const fs::path& d) { fs::remove(d); })},
      {"symlinked ancestor re-pointed with ln -sfn",
       [](const fs::path& root) {
         fs::create_directories(root / "one/defaults");
         fs::create_directories(root / "two/defaults");
         fs::create_directory_symlink(root / "one", root / "cfg/velto");
       },
       [](const fs::path& root) {
         const auto run = runProgram(
             "/bin/ln", {"-sfn", (root / "two").string(), (root / "cfg/velto").string()});
         ASSERT_EQ(0, run.status) << run.err;
       }},
  };
  for (const Replacement& c : cases) {
    SCOPED_TRACE(c.name);
    host_.reset();
    fs::remove_all(root_ / "cfg");
    fs::remove_all(root_ / "one");
    fs::remove_all(root_ / "two");
    fs::remove_all(root_ / "dot");
    fs::create_directories(root_ / "cfg");
    c.prepare(root_);
    startTimer("Alpha");
    startBar();
    ASSERT_TRUE(barShows("Alpha")) << readFile(err());
    const std::size_t toldBefore = count(readFile(err()), "the defaults changed");

    c.replace(root_);
    ASSERT_TRUE(
        eventually([&] { return count(readFile(err()), "the defaults changed") > toldBefore; }));
    // The host watches the folder that now stands there. A swap made of two steps
    // may be told after its first step, when a loaded machine delays the second.
    EXPECT_TRUE(eventually([&] { return watchesInode(host_->pid(), defaults()); }))
        << readFile(err());
    startTimer("Delta");
    EXPECT_TRUE(barShows("Delta")) << readFile(out()) << readFile(err());
    const auto status = run(VELTO_TIMER_TOOL, {"status"});
    EXPECT_NE(std::string::npos, status.out.find("Delta")) << status.out;
  }
}

struct Breakage {
  const char* name;
  std::function<void(const fs::path& extension)> apply;
  const char* reason;
};

// An extension that can no longer be started ends the host at once, naming
// where it looked, instead of leaving the last picture on show.
TEST_F(LiveFolder, EndsWhenTheExtensionCannotBeStartedAgain) {
  // A file that is no program is refused as one that cannot run (child_process_test).
  const std::vector<Breakage> cases = {
      {"moved away",
       [](const fs::path& program) { fs::rename(program, program.string() + ".away"); },
       "No such file or directory"},
      {"no longer executable",
       [](const fs::path& program) {
         fs::permissions(program, fs::perms::owner_read | fs::perms::owner_write);
       },
       "Permission denied"},
  };
  for (const Breakage& c : cases) {
    SCOPED_TRACE(c.name);
    host_.reset();
    fs::remove(extension().string() + ".away");
    fs::remove(extension());
    fs::copy_file(VELTO_WIDGET_EXTENSION, extension());
    startTimer("Alpha");
    startBar();
    ASSERT_TRUE(barShows("Alpha")) << readFile(err());
    ASSERT_TRUE(
        eventually([&] { return readFile(err()).find("is ready (pid ") != std::string::npos; }));
    const std::string log = readFile(err());
    const auto at = log.rfind("is ready (pid ");
    const pid_t child = std::stoi(log.substr(at + 14));

    c.apply(extension());
    ::kill(child, SIGKILL);
    const auto status = host_->endsWithin();
    ASSERT_TRUE(status.has_value()) << readFile(err());
    EXPECT_EQ(69, *status);
    const std::string said = lastLine(readFile(err()));
    EXPECT_NE(std::string::npos, said.find(extension().string())) << said;
    EXPECT_NE(std::string::npos, said.find(c.reason)) << said;
  }
}

}  // namespace
