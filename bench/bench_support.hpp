#pragma once

// What the benchmark programs share: a reporter that prints one benchmark's time
// as a multiple of another's measured in the same run, and a private
// configuration home so that a run never touches the user's defaults.

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

namespace velto::bench {

/// Prints as the console does and keeps each benchmark's time per iteration
/// (the median when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) != 0 ? OO_Color : OO_None) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) {
        continue;
      }
      Times& times = times_[run.run_name.function_name];
      if (median || !times.median) {
        times = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(),
                 benchmark::GetTimeUnitString(run.time_unit), median};
      }
    }
  }

  /// One line: `label measured/floor: real a/b unit = r×, cpu c/d unit = s×`.
  void printRatio(const char* label, const char* measured, const char* floor) const {
    const auto m = times_.find(measured);
    const auto f = times_.find(floor);
    if (m == times_.end() || f == times_.end() || f->second.real <= 0 || f->second.cpu <= 0) {
      return;
    }
    if (m->second.unit != f->second.unit) {
      return;  // the two were reported in different units; compare like with like
    }
    const char* unit = m->second.unit;
    std::printf("%-8s %s/%s: real %.1f/%.1f %s = %.2fx, cpu %.1f/%.1f %s = %.2fx\n", label,
                measured, floor, m->second.real, f->second.real, unit,
                m->second.real / f->second.real, m->second.cpu, f->second.cpu, unit,
                m->second.cpu / f->second.cpu);
  }

 private:
  struct Times {
    double real = 0;
    double cpu = 0;
    const char* unit = "ns";
    bool median = false;
  };
  std::map<std::string, Times> times_;
};

/// Points XDG_CONFIG_HOME at a fresh folder for the run and removes it after.
class ConfigHome {
 public:
  ConfigHome() : path_(std::filesystem::temp_directory_path() / "velto-bench-XXXXXX") {
    std::string name = path_.string();
    if (::mkdtemp(name.data()) == nullptr || ::setenv("XDG_CONFIG_HOME", name.c_str(), 1) != 0) {
      std::perror("benchmark: cannot make a configuration home");
      std::exit(1);
    }
    path_ = name;
  }
  ~ConfigHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ConfigHome(const ConfigHome&) = delete;
  ConfigHome& operator=(const ConfigHome&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace velto::bench
