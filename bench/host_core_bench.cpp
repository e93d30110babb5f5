// The live host's deciding core on the extension's real timeline reply: one
// reload (frame the reply line, match it to its request, decode the timeline,
// hand it to the scheduler) and one tick of a running readout (advance by a
// second). A tick's time over one second is its share of one core.

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_support.hpp"
#include "extension/model/shared_timer_storage.hpp"
#include "extension/widget/velto_widget_bundle.hpp"
#include "host/client/line_framer.hpp"
#include "host/client/replies.hpp"
#include "host/client/rpc_client.hpp"
#include "host/scheduler/widget_scheduler.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/widgets/runtime/request_handler.hpp"

namespace {

using platform::foundation::Date;
using velto::host::RpcClient;
using velto::host::WidgetScheduler;

void storeRunningSnapshot() {
  const std::string json =
      R"({"state":"running","projectName":"Quarterly report","elapsedSeconds":1834.25,)"
      R"("todaySeconds":12604.5,"updatedAt":757382400.125})";
  if (!platform::foundation::writeDefaultsData(
          velto::model::SharedTimerStorage::kAppGroupSuiteName,
          velto::model::SharedTimerStorage::kSnapshotKey,
          {reinterpret_cast<const std::uint8_t*>(json.data()), json.size()})) {
    std::fputs("host_core_bench: cannot store the snapshot\n", stderr);
    std::exit(1);
  }
}

/// The extension's reply line to request 1 for a small widget's timeline.
std::string timelineReply() {
  std::vector<platform::widgets::WidgetConfiguration> configurations;
  for (const auto& widget : velto::widget::VeltoWidgetBundle().body()) {
    configurations.push_back(widget.body());
  }
  const platform::widgets::RequestHandler handler(configurations);
  const auto reply =
      handler.handle(R"({"jsonrpc":"2.0","id":1,"method":"timeline",)"
                     R"("params":{"kind":"VeltoTimerWidget","family":"systemSmall"}})");
  if (!reply) {
    std::fputs("host_core_bench: the extension gave no timeline\n", stderr);
    std::exit(1);
  }
  return *reply + "\n";
}

const std::string& reply() {
  static const std::string line = timelineReply();
  return line;
}

void BM_ReloadFromReplyLine(benchmark::State& state) {
  const RpcClient::Instant start{};
  WidgetScheduler scheduler("VeltoTimerWidget", platform::widgets::WidgetFamily::systemSmall);
  double now = 0;
  for (auto _ : state) {
    RpcClient client;
    velto::host::LineFramer framer;
    (void)client.request("timeline", {}, start);
    for (auto& framed : framer.feed(reply())) {
      auto received = client.receive(framed.text, start);
      auto& answered = std::get<velto::host::RpcReply>(received);
      auto timeline = velto::host::decodeTimeline(*answered.outcome);
      scheduler.timelineArrived(std::move(*timeline));
    }
    benchmark::DoNotOptimize(scheduler.advance(Date(now += 1)));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply().size()));
}
BENCHMARK(BM_ReloadFromReplyLine)->Unit(benchmark::kMicrosecond);

void BM_TickOneSecond(benchmark::State& state) {
  RpcClient client;
  velto::host::LineFramer framer;
  (void)client.request("timeline", {}, RpcClient::Instant{});
  auto received = client.receive(framer.feed(reply()).front().text, RpcClient::Instant{});
  const auto timeline =
      velto::host::decodeTimeline(*std::get<velto::host::RpcReply>(received).outcome);
  const double first = timeline->entries.front().date.timeIntervalSinceReferenceDate();
  const auto fresh = [&] {
    WidgetScheduler scheduler("VeltoTimerWidget", platform::widgets::WidgetFamily::systemSmall);
    scheduler.advance(Date(first));
    scheduler.timelineArrived(*timeline);
    scheduler.advance(Date(first));
    return scheduler;
  };
  WidgetScheduler scheduler = fresh();
  if (!scheduler.ticking()) {
    state.SkipWithError("the running timeline holds no live timer");
    return;
  }
  // Ticks within the first entry's minute, so no entry changes and no reload comes.
  double now = first;
  for (auto _ : state) {
    if (now + 1 >= first + 59) {
      state.PauseTiming();
      scheduler = fresh();
      now = first;
      state.ResumeTiming();
    }
    now += 1;
    benchmark::DoNotOptimize(scheduler.advance(Date(now)));
  }
}
BENCHMARK(BM_TickOneSecond)->Unit(benchmark::kNanosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  const velto::bench::ConfigHome home;
  storeRunningSnapshot();
  std::printf("timeline reply: %zu bytes\n", reply().size());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
