// SharedTimerStorage::load() beside its floor, the bare system calls that read
// the same file (open, fstat, read, close), measured in one run. After the
// table it prints load's time as a multiple of the floor.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "extension/model/shared_timer_storage.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace {

using velto::model::SharedTimerStorage;

constexpr std::string_view kTypicalSnapshot =
    R"({"state":"running","projectName":"Quarterly report","elapsedSeconds":1834.25,)"
    R"("todaySeconds":12604.5,"updatedAt":757382400.125})";

std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = 0;
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    for (std::size_t j = 0; j < 3; ++j) {
      group = (group << 8) | (j < n ? static_cast<std::uint8_t>(bytes[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      out += j <= n ? kDigits[(group >> (18 - 6 * j)) & 0x3Fu] : '=';
    }
  }
  return out;
}

std::filesystem::path appGroupFile() {
  return platform::foundation::defaultsFilePath(SharedTimerStorage::kAppGroupSuiteName);
}

/// The domain file in the binary form the writer uses, as the companion leaves it.
void writeBinaryDomain() {
  std::filesystem::remove(appGroupFile());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(kTypicalSnapshot.data());
  if (!platform::foundation::writeDefaultsData(SharedTimerStorage::kAppGroupSuiteName,
                                               SharedTimerStorage::kSnapshotKey,
                                               {bytes, kTypicalSnapshot.size()})) {
    std::fputs("storage_load_bench: cannot write the binary domain\n", stderr);
    std::exit(1);
  }
}

void writeXMLDomain() {
  std::ofstream out(appGroupFile(), std::ios::binary | std::ios::trunc);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n\t<key>"
      << SharedTimerStorage::kSnapshotKey << "</key>\n\t<data>" << base64(kTypicalSnapshot)
      << "</data>\n</dict>\n</plist>\n";
}

void checkLoadsTheSnapshot() {
  if (SharedTimerStorage::load().projectName != "Quarterly report") {
    std::fputs("storage_load_bench: load() did not read the snapshot\n", stderr);
    std::exit(1);
  }
}

void floorRead(benchmark::State& state) {
  const std::string path = appGroupFile().string();
  std::array<char, 64 * 1024> buffer{};
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    ::fstat(fd, &info);
    const auto size = std::min(static_cast<std::size_t>(info.st_size), buffer.size());
    benchmark::DoNotOptimize(::read(fd, buffer.data(), size));
    ::close(fd);
    benchmark::ClobberMemory();
  }
}

void loadSnapshot(benchmark::State& state) {
  checkLoadsTheSnapshot();
  for (auto _ : state) {
    benchmark::DoNotOptimize(SharedTimerStorage::load());
  }
}

void BM_FloorBinary(benchmark::State& state) {
  writeBinaryDomain();
  floorRead(state);
}
void BM_LoadBinary(benchmark::State& state) {
  writeBinaryDomain();
  loadSnapshot(state);
}
void BM_FloorXML(benchmark::State& state) {
  writeXMLDomain();
  floorRead(state);
}
void BM_LoadXML(benchmark::State& state) {
  writeXMLDomain();
  loadSnapshot(state);
}
BENCHMARK(BM_FloorBinary);
BENCHMARK(BM_LoadBinary);
BENCHMARK(BM_FloorXML);
BENCHMARK(BM_LoadXML);

/// Prints as the console does and keeps each benchmark's times per iteration
/// (the medians when repetitions are asked for).
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
        times = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(), median};
      }
    }
  }

  void printRatio(const char* form, const char* load, const char* floor) const {
    const auto l = times_.find(load);
    const auto f = times_.find(floor);
    if (l == times_.end() || f == times_.end() || f->second.real <= 0 || f->second.cpu <= 0) {
      return;
    }
    std::printf("%-6s load/floor: real %.0f/%.0f ns = %.2fx, cpu %.0f/%.0f ns = %.2fx\n", form,
                l->second.real, f->second.real, l->second.real / f->second.real, l->second.cpu,
                f->second.cpu, l->second.cpu / f->second.cpu);
  }

 private:
  struct Times {
    double real = 0;
    double cpu = 0;
    bool median = false;
  };
  std::map<std::string, Times> times_;
};

/// A private configuration home for the run, removed at the end.
class ConfigHome {
 public:
  ConfigHome() : path_(std::filesystem::temp_directory_path() / "velto-bench-XXXXXX") {
    std::string name = path_.string();
    if (mkdtemp(name.data()) == nullptr || setenv("XDG_CONFIG_HOME", name.c_str(), 1) != 0) {
      std::perror("storage_load_bench: cannot make a configuration home");
      std::exit(1);
    }
    path_ = name;
    std::filesystem::create_directories(appGroupFile().parent_path());
  }
  ~ConfigHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ConfigHome(const ConfigHome&) = delete;
  ConfigHome& operator=(const ConfigHome&) = delete;

 private:
  std::filesystem::path path_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  const ConfigHome home;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  reporter.printRatio("binary", "BM_LoadBinary", "BM_FloorBinary");
  reporter.printRatio("xml", "BM_LoadXML", "BM_FloorXML");
  benchmark::Shutdown();
  return 0;
}
