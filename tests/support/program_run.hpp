#pragma once

// Runs a program of ours the way a person or a script would, for tests: no
// shell, chosen arguments and input, everything it prints captured.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velto::test_support {

struct ProgramRun {
  int status = -1;  // the exit status; 128 + N when killed by signal N
  std::string out;
  std::string err;
};

/// Runs `program` with `arguments`, `input` on its stdin, and the test's own
/// environment; waits for it to end.
inline ProgramRun runProgram(const std::filesystem::path& program,
                             const std::vector<std::string>& arguments,
                             const std::string& input = {}) {
  char folderTemplate[] = "/tmp/velto-run-XXXXXX";
  const std::filesystem::path folder = ::mkdtemp(folderTemplate);
  const auto inPath = folder / "in", outPath = folder / "out", errPath = folder / "err";
  std::ofstream(inPath, std::ios::binary) << input;

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0600);
  ::posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0600);
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);

  ProgramRun run;
  if (error == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  run.out = read(outPath);
  run.err = read(errPath);
  std::filesystem::remove_all(folder);
  if (error != 0) {
    throw std::runtime_error("cannot run " + program.string());
  }
  return run;
}

}  // namespace velto::test_support
