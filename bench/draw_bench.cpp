// Laying out and drawing the small running widget at scale 2 into an image
// surface, beside its floor: the same picture drawn by hand with Cairo and
// Pango (one reused PangoLayout, fonts and attributes made up front, the glow
// pattern kept), measured in one run. Two more measure the layout's share alone
// and encoding the surface as PNG. Two more set a live tick (the timer text
// advanced and its box painted again) beside a full frame (laid out and painted
// afresh). After the table it prints the drawing's time as a multiple of the
// floor, and the tick's as a share of the full frame.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include "host/backends/cairo/handles.hpp"
#include "host/backends/cairo/pango_text.hpp"
#include "host/backends/cairo/renderer.hpp"
#include "host/backends/cairo/symbols.hpp"
#include "host/backends/cairo/tick_painting.hpp"
#include "host/layout/laid_out_widget.hpp"
#include "host/layout/layout.hpp"
#include "host/render/metrics.hpp"
#include "platform/gobject/object_ref.hpp"
#include "tests/support/golden_scenes.hpp"

namespace {

namespace draw = velto::host::cairo;
namespace render = velto::host::render;
namespace layout = velto::host::layout;
using platform::ui::Font;

constexpr int kPixels = 340;  // 170 pt at scale 2

draw::GoldenScene runningSmallLight() {
  for (draw::GoldenScene& scene : draw::goldenScenes()) {
    if (scene.name == "running-small-light") {
      return scene;
    }
  }
  std::fputs("draw_bench: no running-small-light scene\n", stderr);
  std::exit(1);
}

struct Canvas {
  draw::SurfacePtr surface{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kPixels, kPixels)};
  draw::CairoPtr cr{cairo_create(surface.get())};

  void clear() {
    cairo_save(cr.get());
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr.get());
    cairo_restore(cr.get());
  }
};

// --- The floor: the same picture, hand-written --------------------------------

struct FloorText {
  std::string text;
  double x;
  double y;
  double red, green, blue, alpha;
  draw::FontDescriptionPtr font;
  draw::AttrListPtr attributes;
};

struct FloorSymbol {
  std::string name;
  layout::Rect box;
  Font::Weight weight;
  double alpha;
};

/// Everything the hand-written drawing needs, made before the clock starts.
/// Positions come from one layout of the tree, as a designer would measure
/// them once and write them down.
class Floor {
 public:
  explicit Floor(const layout::DrawList& list)
      : fontMap_(pango_cairo_font_map_new()),
        context_(pango_font_map_create_context(fontMap_.get())),
        layout_(nullptr) {
    const draw::FontOptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context_.get(), options.get());
    pango_context_set_round_glyph_positions(context_.get(), FALSE);
    layout_.reset(pango_layout_new(context_.get()));

    glow_.reset(cairo_pattern_create_radial(170, 0, 0, 170, 0, 240));
    cairo_pattern_add_color_stop_rgba(glow_.get(), 0, 1, 149 / 255.0, 0, 0.22);
    cairo_pattern_add_color_stop_rgba(glow_.get(), 1, 1, 149 / 255.0, 0, 0);

    for (const layout::DrawCommand& command : list.commands) {
      if (const auto* text = std::get_if<layout::DrawText>(&command)) {
        addText(*text);
      } else if (const auto* symbol = std::get_if<layout::DrawSymbol>(&command)) {
        symbols_.push_back(
            {symbol->name, symbol->box, symbol->weight,
             symbol->color.name() == platform::ui::SystemColor::secondary ? 0.5 : 0.85});
      } else if (const auto* circle = std::get_if<layout::FillCircle>(&command)) {
        circles_.push_back(*circle);
      }
    }
    if (texts_.size() != 4 || symbols_.size() != 4 || circles_.size() != 3) {
      std::fputs("draw_bench: the running widget no longer has the expected parts\n", stderr);
      std::exit(1);
    }
  }

  void draw(cairo_t* cr) const {
    const double pi = std::numbers::pi;
    cairo_save(cr);
    cairo_scale(cr, 2, 2);

    // Widget shape: a 170 pt square with 20 pt corners.
    cairo_new_sub_path(cr);
    cairo_arc(cr, 150, 20, 20, -pi / 2, 0);
    cairo_arc(cr, 150, 150, 20, 0, pi / 2);
    cairo_arc(cr, 20, 150, 20, pi / 2, pi);
    cairo_arc(cr, 20, 20, 20, pi, 3 * pi / 2);
    cairo_close_path(cr);
    cairo_clip(cr);

    cairo_set_source_rgb(cr, 0xEC / 255.0, 0xEC / 255.0, 0xEC / 255.0);
    cairo_rectangle(cr, 0, 0, 170, 170);
    cairo_fill(cr);
    cairo_set_source(cr, glow_.get());
    cairo_rectangle(cr, 0, 0, 170, 170);
    cairo_fill(cr);

    // Status dot, then the two buttons' circles.
    cairo_set_source_rgb(cr, 0x34 / 255.0, 0xC7 / 255.0, 0x59 / 255.0);
    cairo_new_sub_path(cr);
    cairo_arc(cr, circles_[0].center.x, circles_[0].center.y, 3, 0, 2 * pi);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.85 * 0.09);
    for (std::size_t i = 1; i < 3; ++i) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, circles_[i].center.x, circles_[i].center.y, 12, 0, 2 * pi);
      cairo_fill(cr);
    }

    for (const FloorText& text : texts_) {
      pango_layout_set_font_description(layout_.get(), text.font.get());
      pango_layout_set_attributes(layout_.get(), text.attributes.get());
      pango_layout_set_text(layout_.get(), text.text.data(), static_cast<int>(text.text.size()));
      cairo_set_source_rgba(cr, text.red, text.green, text.blue, text.alpha);
      cairo_move_to(cr, text.x, text.y);
      pango_cairo_show_layout(cr, layout_.get());
    }
    for (const FloorSymbol& symbol : symbols_) {
      cairo_set_source_rgba(cr, 0, 0, 0, symbol.alpha);
      draw::drawSymbol(cr, symbol.name, symbol.box, symbol.weight);
    }
    cairo_restore(cr);
  }

 private:
  void addText(const layout::DrawText& run) {
    const char* family =
        run.style.font.design == Font::Design::monospaced ? "JetBrains Mono" : "Comfortaa";
    draw::FontDescriptionPtr font(pango_font_description_new());
    pango_font_description_set_family(font.get(), family);
    pango_font_description_set_weight(font.get(), draw::pangoWeight(run.style.font.weight));
    pango_font_description_set_absolute_size(font.get(),
                                             pango_units_from_double(run.style.font.size));
    draw::AttrListPtr attributes(pango_attr_list_new());
    if (run.style.tracking != 0) {
      pango_attr_list_insert(attributes.get(), pango_attr_letter_spacing_new(
                                                   pango_units_from_double(run.style.tracking)));
    }
    if (run.style.monospacedDigits) {
      pango_attr_list_insert(attributes.get(), pango_attr_font_features_new("tnum 1"));
    }
    const double alpha = run.color.name() == platform::ui::SystemColor::secondary ? 0.5 : 0.85;
    texts_.push_back(
        {run.text, run.box.x, run.box.y, 0, 0, 0, alpha, std::move(font), std::move(attributes)});
  }

  platform::gobject::ObjectRef<PangoFontMap> fontMap_;
  platform::gobject::ObjectRef<PangoContext> context_;
  platform::gobject::ObjectRef<PangoLayout> layout_;
  draw::PatternPtr glow_;
  std::vector<FloorText> texts_;
  std::vector<FloorSymbol> symbols_;
  std::vector<layout::FillCircle> circles_;
};

/// The share of pixels that differ by more than a few levels in some channel.
double differingShare(cairo_surface_t* a, cairo_surface_t* b) {
  cairo_surface_flush(a);
  cairo_surface_flush(b);
  const unsigned char* pa = cairo_image_surface_get_data(a);
  const unsigned char* pb = cairo_image_surface_get_data(b);
  const auto bytes = static_cast<std::size_t>(cairo_image_surface_get_stride(a)) * kPixels;
  std::size_t differing = 0;
  for (std::size_t i = 0; i < bytes; i += 4) {
    for (std::size_t c = 0; c < 4; ++c) {
      if (std::abs(int{pa[i + c]} - int{pb[i + c]}) > 24) {
        ++differing;
        break;
      }
    }
  }
  return static_cast<double>(differing) / (static_cast<double>(bytes) / 4);
}

/// The scene, the widget's renderer and the floor, checked to draw one picture.
struct Fixture {
  draw::GoldenScene scene = runningSmallLight();
  platform::ui::View tree = draw::goldenTree(scene);
  draw::Renderer renderer;
  std::unique_ptr<Floor> floor;

  Fixture() {
    renderer.measurer().beginFrame();
    const auto list = layout::layoutWidget(
        tree, render::widgetCanvas(scene.options.family, scene.options.instant),
        renderer.measurer());
    if (!list) {
      std::fprintf(stderr, "draw_bench: %s\n", list.error().message.c_str());
      std::exit(1);
    }
    floor = std::make_unique<Floor>(*list);

    Canvas widget;
    Canvas hand;
    if (!renderer.draw(widget.cr.get(), tree, scene.options)) {
      std::fputs("draw_bench: the widget does not draw\n", stderr);
      std::exit(1);
    }
    floor->draw(hand.cr.get());
    const double share = differingShare(widget.surface.get(), hand.surface.get());
    std::printf("floor and widget differ in %.3f %% of pixels\n", 100 * share);
    if (share > 0.005) {
      std::fputs("draw_bench: the floor no longer draws the widget's picture\n", stderr);
      std::exit(1);
    }
  }
};

void floorDraw(benchmark::State& state, Fixture& f) {
  Canvas canvas;
  for (auto _ : state) {
    canvas.clear();
    f.floor->draw(canvas.cr.get());
    cairo_surface_flush(canvas.surface.get());
    benchmark::ClobberMemory();
  }
}

void widgetDraw(benchmark::State& state, Fixture& f) {
  Canvas canvas;
  for (auto _ : state) {
    canvas.clear();
    benchmark::DoNotOptimize(f.renderer.draw(canvas.cr.get(), f.tree, f.scene.options));
    cairo_surface_flush(canvas.surface.get());
    benchmark::ClobberMemory();
  }
}

/// The layout's part of BM_WidgetDraw, shaping its texts included.
void layoutOnly(benchmark::State& state, Fixture& f) {
  const layout::WidgetCanvas canvas =
      render::widgetCanvas(f.scene.options.family, f.scene.options.instant);
  for (auto _ : state) {
    f.renderer.measurer().beginFrame();
    benchmark::DoNotOptimize(layout::layoutWidget(f.tree, canvas, f.renderer.measurer()));
  }
}

/// A full frame as the live host drew one before ticks: lay the entry out
/// afresh and paint all of it, one second later each time.
void fullFrame(benchmark::State& state, Fixture& f) {
  Canvas canvas;
  cairo_scale(canvas.cr.get(), 2, 2);
  double instant = f.scene.options.instant.timeIntervalSinceReferenceDate();
  for (auto _ : state) {
    instant += 1;
    f.renderer.measurer().beginFrame();
    auto widget = layout::LaidOutWidget::make(
        f.tree, render::widgetCanvas(f.scene.options.family, platform::foundation::Date(instant)),
        f.renderer.measurer());
    canvas.clear();
    f.renderer.paint(canvas.cr.get(), widget->drawList(), f.scene.options.appearance);
    cairo_surface_flush(canvas.surface.get());
    benchmark::ClobberMemory();
  }
}

/// A tick as the desktop window paints it: the laid-out entry advances its
/// timer a second and only the readout's box is painted again, from the kept
/// picture of the widget without its texts.
void tick(benchmark::State& state, Fixture& f) {
  Canvas canvas;
  constexpr double kScale = 2;
  cairo_scale(canvas.cr.get(), kScale, kScale);
  double instant = f.scene.options.instant.timeIntervalSinceReferenceDate();
  auto widget = layout::LaidOutWidget::make(
      f.tree, render::widgetCanvas(f.scene.options.family, platform::foundation::Date(instant)),
      f.renderer.measurer());
  draw::TickPainting painting;
  painting.paint(canvas.cr.get(), f.renderer, widget->drawList(), f.scene.options.appearance,
                 kScale);
  std::size_t boxes = 0;
  for (auto _ : state) {
    instant += 1;
    f.renderer.measurer().beginFrame();
    for (const layout::Rect& box :
         widget->advanceTimers(platform::foundation::Date(instant), f.renderer.measurer())) {
      cairo_save(canvas.cr.get());
      // As GTK clips an expose: to the box grown to whole device pixels.
      cairo_rectangle(canvas.cr.get(), std::floor(box.x * kScale) / kScale,
                      std::floor(box.y * kScale) / kScale,
                      (std::ceil(box.maxX() * kScale) - std::floor(box.x * kScale)) / kScale,
                      (std::ceil(box.maxY() * kScale) - std::floor(box.y * kScale)) / kScale);
      cairo_clip(canvas.cr.get());
      painting.paint(canvas.cr.get(), f.renderer, widget->drawList(), f.scene.options.appearance,
                     kScale);
      cairo_restore(canvas.cr.get());
      ++boxes;
    }
    cairo_surface_flush(canvas.surface.get());
    benchmark::ClobberMemory();
  }
  state.counters["boxes"] =
      benchmark::Counter(static_cast<double>(boxes), benchmark::Counter::kAvgIterations);
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<unsigned char>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

void encodePng(benchmark::State& state, Fixture& f) {
  Canvas canvas;
  if (!f.renderer.draw(canvas.cr.get(), f.tree, f.scene.options)) {
    state.SkipWithError("the widget does not draw");
    return;
  }
  cairo_surface_flush(canvas.surface.get());
  std::vector<unsigned char> png;
  for (auto _ : state) {
    png.clear();
    cairo_surface_write_to_png_stream(canvas.surface.get(), appendBytes, &png);
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["bytes"] = static_cast<double>(png.size());
}

/// Prints as the console does and keeps each benchmark's CPU and wall-clock
/// time per iteration (the medians when repetitions are asked for). The ratio
/// is of CPU time, which other work on a shared machine disturbs less.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median) {
        Times& slot = times_[run.run_name.function_name];
        if (median || !slot.median) {
          slot = {run.GetAdjustedCPUTime(), run.GetAdjustedRealTime(), median};
        }
      }
    }
  }

  void printRatio(const char* what, const char* measured, const char* against,
                  const char* base) const {
    const auto m = times_.find(measured);
    const auto f = times_.find(base);
    if (m != times_.end() && f != times_.end() && f->second.cpu > 0 && f->second.real > 0) {
      std::printf("%s %.0f us / %s %.0f us = %.2fx CPU time (wall clock %.2fx)\n", what,
                  m->second.cpu, against, f->second.cpu, m->second.cpu / f->second.cpu,
                  m->second.real / f->second.real);
    }
  }

 private:
  struct Times {
    double cpu = 0;
    double real = 0;
    bool median = false;
  };
  std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  Fixture f;
  benchmark::RegisterBenchmark("BM_FloorDraw", floorDraw, std::ref(f))
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("BM_WidgetDraw", widgetDraw, std::ref(f))
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("BM_LayoutOnly", layoutOnly, std::ref(f))
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("BM_EncodePng", encodePng, std::ref(f))
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("BM_FullFrame", fullFrame, std::ref(f))
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("BM_Tick", tick, std::ref(f))->Unit(benchmark::kMicrosecond);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  reporter.printRatio("widget", "BM_WidgetDraw", "floor", "BM_FloorDraw");
  reporter.printRatio("tick", "BM_Tick", "full frame", "BM_FullFrame");
  benchmark::Shutdown();
  return 0;
}
