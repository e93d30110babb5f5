// One second of the live terminal widget: the running medium widget advanced
// by a second (its readout's cells repainted, nothing laid out) and the
// changed cells written to a sink that drops them, on a common terminal
// (80 × 24) and a large one (240 × 67); beside it the parts of a whole redraw
// (layout, painting every cell, the screen diff) on their own. A tick must
// stay far below the host's CPU budget of 0.03 % of a core (300 µs a second).

#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "host/backends/terminal/cell_measurer.hpp"
#include "host/backends/terminal/cell_painter.hpp"
#include "host/backends/terminal/screen_layout.hpp"
#include "host/backends/terminal/screen_writer.hpp"
#include "host/backends/terminal/terminal_backend.hpp"
#include "host/layout/layout.hpp"
#include "host/render/metrics.hpp"
#include "tests/support/terminal_scenes.hpp"

namespace {

namespace terminal = velto::host::terminal;
namespace layout = velto::host::layout;
namespace render = velto::host::render;
using platform::foundation::Date;

constexpr double kStart = 800'000'000;

velto::host::live::Scene runningScene() {
  const terminal::testing::SceneSetup setup{
      terminal::testing::TimerState::running, "Deep Work", "", Date(kStart - 754), "1h 30m", 30};
  return {platform::widgets::WidgetFamily::systemMedium, terminal::testing::widgetTree(setup),
          false};
}

void tick(benchmark::State& state) {
  std::size_t bytes = 0;
  terminal::TerminalBackend backend(
      [&bytes](std::string_view frame) {
        bytes += frame.size();
        return true;
      },
      {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))},
      {velto::host::render::Appearance::dark, {terminal::ColorMode::trueColor, true, true}});
  backend.show(runningScene(), Date(kStart));
  double second = kStart;
  bytes = 0;
  for (auto _ : state) {
    second += 1;
    backend.tick(Date(second));
  }
  state.counters["bytes/tick"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(tick)->Args({80, 24})->Args({240, 67})->Unit(benchmark::kMicrosecond);

void layoutOnly(benchmark::State& state) {
  const auto scene = runningScene();
  const terminal::CellMeasurer measurer;
  double second = kStart;
  for (auto _ : state) {
    second += 1;
    auto list = layout::layoutWidget(
        scene.view, {{364, 170}, render::kContentMargin, render::kWidgetCornerRadius, Date(second)},
        measurer);
    benchmark::DoNotOptimize(list);
  }
}
BENCHMARK(layoutOnly)->Unit(benchmark::kMicrosecond);

void paintOnly(benchmark::State& state) {
  const auto scene = runningScene();
  const auto list = layout::layoutWidget(
      scene.view, {{364, 170}, render::kContentMargin, render::kWidgetCornerRadius, Date(kStart)},
      terminal::CellMeasurer());
  for (auto _ : state) {
    auto grid = terminal::paintCells(*list, {});
    benchmark::DoNotOptimize(grid);
  }
}
BENCHMARK(paintOnly)->Unit(benchmark::kMicrosecond);

void composeAndDiff(benchmark::State& state) {
  const auto scene = runningScene();
  const auto list = layout::layoutWidget(
      scene.view, {{364, 170}, render::kContentMargin, render::kWidgetCornerRadius, Date(kStart)},
      terminal::CellMeasurer());
  const terminal::CellGrid widget = terminal::paintCells(*list, {});
  terminal::ScreenWriter writer({terminal::ColorMode::trueColor, true, true});
  writer.frame(terminal::composeScreen(widget, {80, 24}, ""));
  for (auto _ : state) {
    auto bytes = writer.frame(terminal::composeScreen(widget, {80, 24}, ""));
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(composeAndDiff)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
