// Drives the real velto-defaults program with a private XDG_CONFIG_HOME.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/foundation/unique_fd.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using platform::foundation::test_support::readFile;
using platform::foundation::test_support::TemporaryFolder;
using platform::foundation::test_support::writeFile;

// Every regular file below `root` with its bytes, to show that a command changed nothing.
std::map<fs::path, std::string> snapshot(const fs::path& root) {
  std::map<fs::path, std::string> files;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
    if (entry.is_regular_file()) {
      files[entry.path()] = readFile(entry.path());
    }
  }
  return files;
}

class SpawnFileActions {
 public:
  SpawnFileActions() { ::posix_spawn_file_actions_init(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  void open(int fd, const std::string& path, int flags) {
    ::posix_spawn_file_actions_addopen(&actions_, fd, path.c_str(), flags, 0600);
  }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
};

struct Result {
  int status = -1;  // the exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    result.push_back(
        text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return result;
}

constexpr std::string_view kSuite = "group.app.velto";

class VeltoDefaults : public ::testing::Test {
 public:
  fs::path file(std::string_view domain) const {
    return home_.path() / "velto" / "defaults" / (std::string(domain) + ".plist");
  }
  const fs::path& home() const { return home_.path(); }
  fs::path scratchFile(std::string_view name, std::string_view contents) const {
    const fs::path path = scratch_.path() / name;
    writeFile(path, contents);
    return path;
  }

  /// Runs the program with `arguments`, standard input from `input` (or /dev/null),
  /// standard output to `output` (or to a file whose bytes it returns) and XDG_CONFIG_HOME set to
  /// this test's folder; no shell is involved. Not velto::test_support::runProgram,
  /// which hands the child the test's own environment and always captures its
  /// output: here XDG_CONFIG_HOME must change for the child alone, and one test
  /// needs standard output to be /dev/full.
  Result run(const std::vector<std::string>& arguments,
             const std::optional<fs::path>& input = std::nullopt,
             const std::optional<fs::path>& output = std::nullopt) const {
    const std::string outPath = output ? output->string() : (scratch_.path() / "stdout").string();
    const std::string errPath = (scratch_.path() / "stderr").string();
    SpawnFileActions actions;
    actions.open(STDIN_FILENO, input ? input->string() : "/dev/null", O_RDONLY);
    actions.open(STDOUT_FILENO, outPath, O_WRONLY | O_CREAT | O_TRUNC);
    actions.open(STDERR_FILENO, errPath, O_WRONLY | O_CREAT | O_TRUNC);

    std::vector<std::string> argumentStrings{VELTO_DEFAULTS_PROGRAM};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment{"XDG_CONFIG_HOME=" + home_.path().string()};
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!std::string_view(*entry).starts_with("XDG_CONFIG_HOME=")) {
        environment.emplace_back(*entry);
      }
    }
    auto pointers = [](std::vector<std::string>& strings) {
      std::vector<char*> result;
      for (std::string& s : strings) {
        result.push_back(s.data());
      }
      result.push_back(nullptr);
      return result;
    };
    std::vector<char*> argv = pointers(argumentStrings);
    std::vector<char*> envp = pointers(environment);

    Result result;
    pid_t pid = 0;
    if (::posix_spawn(&pid, VELTO_DEFAULTS_PROGRAM, actions.get(), nullptr, argv.data(),
                      envp.data())
        != 0) {
      ADD_FAILURE() << "cannot start " << VELTO_DEFAULTS_PROGRAM;
      return result;
    }
    int wait = 0;
    while (::waitpid(pid, &wait, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    if (!output) {
      result.out = readFile(outPath);
    }
    result.err = readFile(errPath);
    return result;
  }

 private:
  TemporaryFolder home_;
  TemporaryFolder scratch_;
};

std::string everyByteTwice() {
  std::string bytes;
  for (int round = 0; round < 2; ++round) {
    for (int byte = 0; byte < 256; ++byte) {
      bytes.push_back(static_cast<char>(byte));
    }
  }
  return bytes;
}

TEST_F(VeltoDefaults, ReadsBackTheExactBytesOfADataFile) {
  const std::string bytes = "\0\xff\xfe not UTF-8 \xc3\x28 " + everyByteTwice();
  const fs::path input = scratchFile("value.bin", bytes);
  const Result written = run(
      {"write", std::string(kSuite), "velto.sharedTimerSnapshot", "--data-file", input.string()});
  EXPECT_EQ(0, written.status) << written.err;
  EXPECT_EQ("", written.err);
  EXPECT_EQ("", written.out);

  const Result read = run({"read", std::string(kSuite), "velto.sharedTimerSnapshot"});
  EXPECT_EQ(0, read.status) << read.err;
  EXPECT_EQ(bytes, read.out);
  EXPECT_EQ("", read.err);
}

TEST_F(VeltoDefaults, ReadsADataFileFromStandardInput) {
  const std::string json = R"({"state":"running","elapsed":12.5})";
  const Result written =
      run({"write", std::string(kSuite), "k", "--data-file", "-"}, scratchFile("in", json));
  EXPECT_EQ(0, written.status) << written.err;
  EXPECT_EQ(json, run({"read", std::string(kSuite), "k"}).out);
}

TEST_F(VeltoDefaults, StoresDataAndStringTextAndPrintsThemWithNoNewline) {
  ASSERT_EQ(0, run({"write", std::string(kSuite), "d", "--data", "{\"a\":1}"}).status);
  ASSERT_EQ(0, run({"write", std::string(kSuite), "s", "--string=-caf\xc3\xa9"}).status);
  EXPECT_EQ("{\"a\":1}", run({"read", std::string(kSuite), "d"}).out);
  EXPECT_EQ("-caf\xc3\xa9", run({"read", std::string(kSuite), "s"}).out);
  EXPECT_EQ("d\tdata\ns\tstring\n", run({"read", std::string(kSuite)}).out);
}

TEST_F(VeltoDefaults, DeletesOneKey) {
  ASSERT_EQ(0, run({"write", std::string(kSuite), "a", "--data", "1"}).status);
  ASSERT_EQ(0, run({"write", std::string(kSuite), "b", "--data", "2"}).status);
  const Result deleted = run({"delete", std::string(kSuite), "a"});
  EXPECT_EQ(0, deleted.status) << deleted.err;
  EXPECT_EQ("b\tdata\n", run({"read", std::string(kSuite)}).out);
}

TEST_F(VeltoDefaults, PrintsTheDomainsPath) {
  const Result path = run({"path", std::string(kSuite)});
  EXPECT_EQ(0, path.status);
  EXPECT_EQ(file(kSuite).string() + "\n", path.out);
}

TEST_F(VeltoDefaults, PrintsHelpOnStandardOutput) {
  const Result help = run({"--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_NE(std::string::npos, help.out.find("write"));
  EXPECT_NE(std::string::npos, help.out.find("Exit status"));
  EXPECT_EQ("", help.err);
}

TEST_F(VeltoDefaults, FailsWithOneLineAndASysexitsStatusChangingNothing) {
  struct Case {
    const char* name;
    std::function<std::vector<std::string>(VeltoDefaults&)> arguments;
    int status;
  };
  auto args = [](std::vector<std::string> a) { return [a](VeltoDefaults&) { return a; }; };
  const std::string suite(kSuite);
  const Case cases[] = {
      {"no arguments", args({}), 64},
      {"unknown command", args({"frobnicate", suite}), 64},
      {"unknown flag", args({"read", "--bogus", suite}), 64},
      {"key not given", args({"write", suite, "--data", "x"}), 64},
      {"no value", args({"write", suite, "k"}), 64},
      {"two values", args({"write", suite, "k", "--data", "x", "--string", "y"}), 64},
      {"extra argument", args({"path", suite, "extra"}), 64},
      {"empty domain", args({"read", "", "k"}), 64},
      {"empty key", args({"write", suite, "", "--data", "x"}), 64},
      // Which names are valid is isValidDefaultsDomain's (user_defaults_test); one will do.
      {"domain that climbs", args({"write", "../group.app.velto", "k", "--data", "x"}), 64},
      {"key that is not UTF-8", args({"write", suite, "kept\xff", "--data", "x"}), 65},
      // Which bytes are well-formed is utf8_test's; one bad string proves the mapping.
      {"string that is not UTF-8",
       args({"write", suite, "s", "--string",
             "a\xff"
             "b"}),
       65},
      {"missing domain", args({"read", "com.example.absent", "k"}), 66},
      {"missing domain listed", args({"read", "com.example.absent"}), 66},
      {"missing key", args({"read", suite, "absent"}), 66},
      {"delete of a missing key", args({"delete", suite, "absent"}), 66},
      {"missing data file", args({"write", suite, "k", "--data-file", "/nonexistent/file"}), 66},
      {"data file over the limit",
       [](VeltoDefaults& t) {
         return std::vector<std::string>{"write", "group.app.velto", "k", "--data-file",
                                         t.scratchFile("big", std::string(70000, 'x')).string()};
       },
       65},
      {"data that does not fit the domain",
       [](VeltoDefaults& t) {
         return std::vector<std::string>{"write", "group.app.velto", "k", "--data-file",
                                         t.scratchFile("big", std::string(65500, 'x')).string()};
       },
       65},
      {"value of another type", args({"read", suite, "number"}), 65},
      {"malformed domain", args({"read", "com.example.broken", "k"}), 65},
      {"write into a malformed domain", args({"write", "com.example.broken", "k", "--data", "x"}),
       65},
      {"folder at the domain's path", args({"read", "com.example.folder", "k"}), 66},
  };
  for (const Case& c : cases) {
    // Every case starts from the same stored state, which must survive it byte for byte.
    writeFile(file(kSuite),
              "<plist><dict><key>number</key><integer>7</integer>"
              "<key>kept</key><data>AA==</data></dict></plist>");
    writeFile(file("com.example.broken"), "not a property list");
    fs::create_directories(file("com.example.folder"));
    // A refused write may leave the lock file it took; nothing else may appear.
    auto withoutLocks = [this](std::map<fs::path, std::string> files) {
      std::erase_if(files, [this](const auto& entry) {
        return entry.first.extension() == ".lock"
               && entry.first.parent_path() == file(kSuite).parent_path();
      });
      return files;
    };
    const auto before = withoutLocks(snapshot(home()));
    const Result result = run(c.arguments(*this));
    EXPECT_EQ(c.status, result.status) << c.name << ": " << result.err;
    const auto errLines = lines(result.err);
    ASSERT_EQ(1u, errLines.size()) << c.name << ": " << result.err;
    EXPECT_TRUE(result.err.ends_with("\n")) << c.name;
    EXPECT_TRUE(errLines[0].starts_with("velto-defaults: ")) << c.name << ": " << errLines[0];
    EXPECT_EQ("", result.out) << c.name;
    const auto after = withoutLocks(snapshot(home()));
    EXPECT_EQ(before, after) << c.name;
  }
}

TEST_F(VeltoDefaults, ReportsFoldersAndOutputItCannotWrite) {
  writeFile(home() / "velto", "a file where the folder belongs");
  const Result blocked = run({"write", std::string(kSuite), "k", "--data", "x"});
  EXPECT_EQ(73, blocked.status) << blocked.err;
  EXPECT_EQ(1u, lines(blocked.err).size()) << blocked.err;

  fs::remove(home() / "velto");
  ASSERT_EQ(0, run({"write", std::string(kSuite), "k", "--data", "x"}).status);
  const Result full = run({"read", std::string(kSuite), "k"}, std::nullopt, "/dev/full");
  EXPECT_EQ(74, full.status) << full.err;
  EXPECT_EQ(1u, lines(full.err).size()) << full.err;
}

TEST_F(VeltoDefaults, ReportsHelpItCannotPrint) {
  for (const auto& arguments :
       {std::vector<std::string>{"--help"}, std::vector<std::string>{"write", "--help"}}) {
    const Result help = run(arguments, std::nullopt, "/dev/full");
    EXPECT_EQ(74, help.status) << arguments.size();
    EXPECT_EQ(1u, lines(help.err).size()) << help.err;
  }
}

TEST_F(VeltoDefaults, GivesUpOnALockAnotherProgramHoldsWithStatus75) {
  ASSERT_EQ(0, run({"write", std::string(kSuite), "k", "--string", "old"}).status);
  const auto before = snapshot(home());
  const std::string lockPath = file(kSuite).native() + ".lock";
  // Held as `flock FILE.lock CMD` holds it, until the test ends.
  const platform::foundation::UniqueFd held(::open(lockPath.c_str(), O_RDWR | O_CLOEXEC));
  ASSERT_TRUE(held);
  ASSERT_EQ(0, ::flock(held.get(), LOCK_EX | LOCK_NB));
  const platform::foundation::test_support::ScopedEnvironment wait("VELTO_LOCK_WAIT", "0.1");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"write", std::string(kSuite), "k", "--string", "new"},
        std::vector<std::string>{"delete", std::string(kSuite), "k"}}) {
    const Result result = run(arguments);
    EXPECT_EQ(75, result.status) << arguments.front() << ": " << result.err;
    ASSERT_EQ(1u, lines(result.err).size()) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(lockPath)) << result.err;
  }
  EXPECT_EQ(before, snapshot(home()));
  // Reading takes no lock.
  EXPECT_EQ(0, run({"read", std::string(kSuite), "k"}).status);

  const platform::foundation::test_support::ScopedEnvironment badWait("VELTO_LOCK_WAIT", "-1");
  EXPECT_EQ(78, run({"delete", std::string(kSuite), "k"}).status);
  EXPECT_EQ(before, snapshot(home()));
}

}  // namespace
