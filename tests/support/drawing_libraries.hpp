#pragma once

// Which of the libraries that draw pixels a process has mapped: `terminal` and
// `bar` measure cells, so none of them may be loaded there.

#include <array>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "tests/support/polling.hpp"

namespace velto::test_support {

/// The file names, in `maps` (a /proc/PID/maps or ldd listing), of GTK, GDK,
/// ATK, Pango or Cairo libraries.
inline std::set<std::string> drawingLibrariesIn(const std::string& maps) {
  static constexpr std::array<std::string_view, 5> kPrefixes = {"libgtk-", "libgdk-", "libatk-",
                                                                "libpango", "libcairo"};
  std::set<std::string> found;
  std::istringstream lines(maps);
  for (std::string line; std::getline(lines, line);) {
    const auto slash = line.rfind('/');
    const std::string file = line.substr(slash == std::string::npos ? 0 : slash + 1);
    for (const std::string_view prefix : kPrefixes) {
      if (file.starts_with(prefix)) {
        found.insert(file.substr(0, file.find(' ')));
      }
    }
  }
  return found;
}

/// The drawing libraries process `pid` has mapped now.
inline std::set<std::string> drawingLibrariesMapped(int pid) {
  return drawingLibrariesIn(readFile("/proc/" + std::to_string(pid) + "/maps"));
}

}  // namespace velto::test_support
