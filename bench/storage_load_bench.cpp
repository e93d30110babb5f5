// SharedTimerStorage::load() beside its floor, the bare system calls that read
// the same file (open, fstat, read, close), measured in one run. After the
// table it prints load's time as a multiple of the floor.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/bench_support.hpp"
#include "extension/model/shared_timer_storage.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace {

using velto::model::SharedTimerStorage;
namespace test_support = platform::foundation::test_support;

constexpr std::string_view kTypicalSnapshot =
    R"({"state":"running","projectName":"Quarterly report","elapsedSeconds":1834.25,)"
    R"("todaySeconds":12604.5,"updatedAt":757382400.125})";

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
  test_support::writeFile(
      appGroupFile(),
      test_support::xmlDomain("\t<key>" + std::string(SharedTimerStorage::kSnapshotKey)
                              + "</key>\n\t<data>" + test_support::base64(kTypicalSnapshot)
                              + "</data>\n"));
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
// One read-modify-write of the snapshot, as each velto-timer command makes: lock,
// stale-file sweep, strict read, binary write, fsync and rename.
void BM_UpdateSnapshot(benchmark::State& state) {
  writeBinaryDomain();
  const platform::foundation::DefaultsValue next{
      platform::foundation::DefaultsValueType::data,
      platform::foundation::Bytes(kTypicalSnapshot.begin(), kTypicalSnapshot.end())};
  for (auto _ : state) {
    const auto updated = platform::foundation::updateDefaultsValue(
        SharedTimerStorage::kAppGroupSuiteName, SharedTimerStorage::kSnapshotKey,
        [&next](const std::optional<platform::foundation::DefaultsValue>& current)
            -> platform::foundation::Expected<std::optional<platform::foundation::DefaultsValue>,
                                              platform::foundation::DefaultsError> {
          benchmark::DoNotOptimize(current);
          return std::optional(next);
        });
    if (!updated) {
      state.SkipWithError(updated.error().message.c_str());
      break;
    }
  }
}

BENCHMARK(BM_FloorBinary);
BENCHMARK(BM_LoadBinary);
BENCHMARK(BM_FloorXML);
BENCHMARK(BM_LoadXML);
BENCHMARK(BM_UpdateSnapshot);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  const velto::bench::ConfigHome home;
  // A filter may run the XML benchmarks alone, before any writer has made the folder.
  std::filesystem::create_directories(appGroupFile().parent_path());
  velto::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  reporter.printRatio("binary", "BM_LoadBinary", "BM_FloorBinary");
  reporter.printRatio("xml", "BM_LoadXML", "BM_FloorXML");
  benchmark::Shutdown();
  return 0;
}
