#pragma once

// What the end-to-end tests share besides running programs: reading what a
// program wrote, waiting for another process to get somewhere, the present
// instant in the snapshot's epoch, and quoting for a shell command line.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace velto::test_support {

/// The whole file, or "" when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Polls `done` until it holds; false once `patience` has passed. The patience
/// only guards against a hang: a loaded machine may be slow, never wrong.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds patience = std::chrono::seconds(40)) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

/// Now, in seconds since 2001-01-01 UTC, as the snapshot writes instants.
inline double secondsSince2001() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()
         - 978307200.0;
}

/// `word` as one shell word.
inline std::string shellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

}  // namespace velto::test_support
