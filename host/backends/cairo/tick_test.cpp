// The widget's own scenes drawn with the fonts: a tick repaints exactly what a
// full drawing would, and no text paints outside its box.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/backends/cairo/handles.hpp"
#include "host/backends/cairo/renderer.hpp"
#include "host/backends/cairo/tick_painting.hpp"
#include "host/layout/laid_out_widget.hpp"
#include "host/render/metrics.hpp"
#include "tests/support/golden_scenes.hpp"

namespace velto::host::cairo {
namespace {

using model::SharedTimerSnapshot;
using platform::foundation::Date;

constexpr double kScale = 2;

struct Image {
  SurfacePtr surface;
  CairoPtr cr;
};

Image blank(const layout::Size& size) {
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                                static_cast<int>(size.width * kScale),
                                                static_cast<int>(size.height * kScale)));
  CairoPtr cr(cairo_create(surface.get()));
  cairo_scale(cr.get(), kScale, kScale);
  return {std::move(surface), std::move(cr)};
}

std::uint32_t pixel(cairo_surface_t* image, int x, int y) {
  std::uint32_t value = 0;
  const unsigned char* row =
      cairo_image_surface_get_data(image)
      + static_cast<std::size_t>(y)
            * static_cast<std::size_t>(cairo_image_surface_get_stride(image));
  std::memcpy(&value, row + static_cast<std::size_t>(x) * 4, 4);
  return value;
}

/// The number of pixels that differ, leaving out those inside `skip` (points).
int differingPixels(cairo_surface_t* a, cairo_surface_t* b,
                    const layout::Rect& skip = layout::Rect{}) {
  cairo_surface_flush(a);
  cairo_surface_flush(b);
  int differing = 0;
  for (int y = 0; y < cairo_image_surface_get_height(a); ++y) {
    for (int x = 0; x < cairo_image_surface_get_width(a); ++x) {
      const double px = x / kScale;
      const double py = y / kScale;
      if (px >= skip.x && px < skip.maxX() && py >= skip.y && py < skip.maxY()) {
        continue;
      }
      differing += pixel(a, x, y) != pixel(b, x, y) ? 1 : 0;
    }
  }
  return differing;
}

GoldenScene scene(const std::string& name) {
  for (GoldenScene& s : goldenScenes()) {
    if (s.name == name) {
      return s;
    }
  }
  ADD_FAILURE() << "no scene " << name;
  return goldenScenes().front();
}

/// What the window does on a tick: repaints `box` grown to whole device pixels.
void paintTick(TickPainting& painting, Renderer& renderer, cairo_t* cr,
               const layout::DrawList& list, Appearance look, const layout::Rect& box) {
  const double left = std::floor(box.x * kScale) / kScale;
  const double top = std::floor(box.y * kScale) / kScale;
  cairo_save(cr);
  cairo_rectangle(cr, left, top, std::ceil(box.maxX() * kScale) / kScale - left,
                  std::ceil(box.maxY() * kScale) / kScale - top);
  cairo_clip(cr);
  painting.paint(cr, renderer, list, look, kScale);
  cairo_restore(cr);
}

Image fullPaint(Renderer& renderer, const layout::DrawList& list, Appearance look) {
  Image full = blank(list.size);
  renderer.paint(full.cr.get(), list, look);
  return full;
}

TEST(TickPainting, ATickRepaintsWhatAFullDrawingWould) {
  for (const char* name : {"running-small-light", "running-medium-dark"}) {
    const GoldenScene s = scene(name);
    const platform::ui::View tree = goldenTree(s);
    Renderer renderer;
    const auto canvas = [&](double instant) {
      return render::widgetCanvas(s.options.family, Date(instant));
    };
    auto widget = layout::LaidOutWidget::make(tree, canvas(kGoldenInstant), renderer.measurer());
    ASSERT_TRUE(widget.has_value());
    const layout::Size size = widget->drawList().size;
    // Only the readout follows the clock; every other text stays in the kept picture.
    std::vector<std::string> live;
    for (const auto& command : widget->drawList().commands) {
      if (const auto* text = std::get_if<layout::DrawText>(&command); text && text->live) {
        live.push_back(text->text);
      }
    }
    EXPECT_EQ(std::vector<std::string>{"00:12:34"}, live) << name;  // 754 s
    TickPainting painting;
    Image ticked = blank(size);
    painting.paint(ticked.cr.get(), renderer, widget->drawList(), s.options.appearance, kScale);
    EXPECT_EQ(0, differingPixels(
                     fullPaint(renderer, widget->drawList(), s.options.appearance).surface.get(),
                     ticked.surface.get()))
        << name << " at first";
    for (const double seconds : {1.0, 2.0, 61.0}) {
      const unsigned layouts = widget->layoutCount();
      const auto boxes = widget->advanceTimers(Date(kGoldenInstant + seconds), renderer.measurer());
      ASSERT_EQ(1U, boxes.size()) << name;
      EXPECT_EQ(layouts, widget->layoutCount()) << name;
      paintTick(painting, renderer, ticked.cr.get(), widget->drawList(), s.options.appearance,
                boxes[0]);

      auto fresh =
          layout::LaidOutWidget::make(tree, canvas(kGoldenInstant + seconds), renderer.measurer());
      ASSERT_TRUE(fresh.has_value());
      EXPECT_EQ(0, differingPixels(
                       fullPaint(renderer, fresh->drawList(), s.options.appearance).surface.get(),
                       ticked.surface.get()))
          << name << " after " << seconds << " s";
    }
  }
}

TEST(TickPainting, AnotherLookOrScaleMakesAnotherPicture) {
  const GoldenScene s = scene("running-small-light");
  Renderer renderer;
  auto widget = layout::LaidOutWidget::make(
      goldenTree(s), render::widgetCanvas(s.options.family, Date(kGoldenInstant)),
      renderer.measurer());
  ASSERT_TRUE(widget.has_value());
  TickPainting painting;
  Image small = blank(widget->drawList().size);
  painting.paint(small.cr.get(), renderer, widget->drawList(), Appearance::light, 1);
  for (const Appearance look : {Appearance::dark, Appearance::light}) {
    Image painted = blank(widget->drawList().size);
    painting.paint(painted.cr.get(), renderer, widget->drawList(), look, kScale);
    EXPECT_EQ(0, differingPixels(fullPaint(renderer, widget->drawList(), look).surface.get(),
                                 painted.surface.get()));
  }
}

TEST(TickPainting, ForgetTakesANewLayout) {
  const GoldenScene running = scene("running-small-light");
  const GoldenScene paused = scene("paused-small-light");
  Renderer renderer;
  const auto layOut = [&](const GoldenScene& s) {
    return layout::LaidOutWidget::make(goldenTree(s),
                                       render::widgetCanvas(s.options.family, Date(kGoldenInstant)),
                                       renderer.measurer());
  };
  auto first = layOut(running);
  auto second = layOut(paused);
  ASSERT_TRUE(first.has_value() && second.has_value());
  TickPainting painting;
  Image painted = blank(first->drawList().size);
  painting.paint(painted.cr.get(), renderer, first->drawList(), Appearance::light, kScale);
  painting.forget();
  painting.paint(painted.cr.get(), renderer, second->drawList(), Appearance::light, kScale);
  EXPECT_EQ(
      0, differingPixels(fullPaint(renderer, second->drawList(), Appearance::light).surface.get(),
                         painted.surface.get()));
}

TEST(DrawText, StackedMarksStayInsideTheirTextsBox) {
  std::string marks = "e";
  for (int i = 0; i < 10'000; ++i) {
    marks += "\u0301";
  }
  GoldenScene plain = scene("paused-small-light");
  GoldenScene stacked = plain;
  plain.snapshot = SharedTimerSnapshot(SharedTimerSnapshot::State::paused, "e", 3661.5, 9000,
                                       Date(kGoldenInstant));
  stacked.snapshot = SharedTimerSnapshot(SharedTimerSnapshot::State::paused, marks, 3661.5, 9000,
                                         Date(kGoldenInstant));
  Renderer renderer;
  auto widget = layout::LaidOutWidget::make(
      goldenTree(stacked), render::widgetCanvas(plain.options.family, Date(kGoldenInstant)),
      renderer.measurer());
  ASSERT_TRUE(widget.has_value());
  layout::Rect project;
  for (const layout::DrawCommand& command : widget->drawList().commands) {
    if (const auto* text = std::get_if<layout::DrawText>(&command); text && text->text[0] == 'e') {
      project = text->box;
    }
  }
  ASSERT_GT(project.height, 0);
  // The box and the few pixels a glyph may overhang it.
  const double room = project.height / 4;
  const layout::Rect allowed{project.x - room, project.y - room, project.width + 2 * room,
                             project.height + 2 * room};

  auto withMarks = renderImage(goldenTree(stacked), stacked.options);
  auto without = renderImage(goldenTree(plain), plain.options);
  ASSERT_TRUE(withMarks.has_value() && without.has_value());
  EXPECT_EQ(0, differingPixels(withMarks->get(), without->get(), allowed));
}

}  // namespace
}  // namespace velto::host::cairo
