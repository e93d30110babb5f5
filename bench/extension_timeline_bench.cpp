// One `timeline` request through a pipe to a running velto-widget-extension
// (write the request, read and parse the reply) beside the same work in
// process (getTimeline plus building and archiving the six views), in one run.
// Afterwards it measures the extension's cold start to its first timeline reply
// and its peak resident size over 1 000 timeline requests.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_support.hpp"
#include "extension/model/shared_timer_storage.hpp"
#include "extension/widget/velto_timer_widget.hpp"
#include "host/live/blocking_extension.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/ui/archive.hpp"

namespace {

using velto::host::live::BlockingExtension;
using Json = nlohmann::json;

const Json kTimelineParams = {{"kind", "VeltoTimerWidget"}, {"family", "systemSmall"}};

void storeRunningSnapshot() {
  const std::string json =
      R"({"state":"running","projectName":"Quarterly report","elapsedSeconds":1834.25,)"
      R"("todaySeconds":12604.5,"updatedAt":757382400.125})";
  if (!platform::foundation::writeDefaultsData(
          velto::model::SharedTimerStorage::kAppGroupSuiteName,
          velto::model::SharedTimerStorage::kSnapshotKey,
          {reinterpret_cast<const std::uint8_t*>(json.data()), json.size()})) {
    std::fputs("extension_timeline_bench: cannot store the snapshot\n", stderr);
    std::exit(1);
  }
}

std::optional<BlockingExtension> startExtension() {
  auto extension = BlockingExtension::start(VELTO_WIDGET_EXTENSION);
  if (!extension) {
    std::fprintf(stderr, "extension_timeline_bench: %s\n", extension.error().c_str());
    return std::nullopt;
  }
  if (!extension->ask("initialize", {{"protocolVersion", 1}})) {
    return std::nullopt;
  }
  return std::move(*extension);
}

void BM_TimelineThroughPipe(benchmark::State& state) {
  auto client = startExtension();
  if (!client) {
    state.SkipWithError("cannot start the extension");
    return;
  }
  for (auto _ : state) {
    auto reply = client->ask("timeline", kTimelineParams);
    if (!reply || reply->at("entries").size() != 6) {
      state.SkipWithError("bad timeline reply");
      return;
    }
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_TimelineThroughPipe)->Unit(benchmark::kMicrosecond);

void BM_TimelineInProcess(benchmark::State& state) {
  const auto configuration = velto::widget::VeltoTimerWidget().body();
  const platform::widgets::TimelineProviderContext context{};
  for (auto _ : state) {
    auto timeline = configuration.timeline(context);
    Json entries = Json::array();
    for (const auto& entry : timeline->entries) {
      entries.push_back({{"date", entry.date.timeIntervalSinceReferenceDate()},
                         {"view", platform::ui::archive(entry.view)}});
    }
    benchmark::DoNotOptimize(entries);
  }
}
BENCHMARK(BM_TimelineInProcess)->Unit(benchmark::kMicrosecond);

/// The child's peak resident set (VmHWM) in KiB, read while it still runs.
long peakResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stol(line.substr(6));
    }
  }
  return -1;
}

void reportColdStartAndPeakMemory() {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto client = BlockingExtension::start(VELTO_WIDGET_EXTENSION);
  if (!client) {
    return;
  }
  const bool answered = client->ask("timeline", kTimelineParams).has_value();
  const auto coldStart = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  for (int i = 1; answered && i < 1000; ++i) {
    if (!client->ask("timeline", kTimelineParams)) {
      return;
    }
  }
  const long peak = peakResidentKiB(client->pid());
  std::printf("cold start to first timeline reply: %.2f ms\n", coldStart);
  std::printf("extension peak RSS over 1000 timeline requests: %ld KiB (%.2f MiB)\n", peak,
              static_cast<double>(peak) / 1024.0);
  client->finish();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  const velto::bench::ConfigHome home;
  storeRunningSnapshot();
  velto::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  reporter.printRatio("timeline", "BM_TimelineThroughPipe", "BM_TimelineInProcess");
  reportColdStartAndPeakMemory();
  benchmark::Shutdown();
  return 0;
}
