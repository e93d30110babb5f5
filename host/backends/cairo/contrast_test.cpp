// Every text of the widget, as drawn, stands out from what is drawn behind it
// by the WCAG 2.1 AA ratio for body text, in each state, size and appearance.
// Measured on pixels: the widget drawn twice, with and without its texts.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <variant>

#include <gtest/gtest.h>

#include "host/backends/cairo/handles.hpp"
#include "host/backends/cairo/renderer.hpp"
#include "host/layout/layout.hpp"
#include "host/render/metrics.hpp"
#include "tests/support/golden_scenes.hpp"

namespace velto::host::cairo {

void PrintTo(const GoldenScene& scene, std::ostream* out);  // golden_test.cpp

namespace {

constexpr double kMinimumContrast = 4.5;

/// The relative luminance of an sRGB pixel, as WCAG 2.1 defines it.
double luminance(std::uint32_t argb) {
  const auto linear = [](std::uint32_t channel) {
    const double c = static_cast<double>(channel & 0xFFU) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(argb >> 16) + 0.7152 * linear(argb >> 8) + 0.0722 * linear(argb);
}

double contrast(double a, double b) {
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

struct Image {
  SurfacePtr surface;
  std::uint32_t at(int x, int y) const {
    std::uint32_t pixel = 0;
    const auto* row =
        cairo_image_surface_get_data(surface.get())
        + static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface.get());
    std::memcpy(&pixel, row + static_cast<std::ptrdiff_t>(x) * 4, 4);
    return pixel;
  }
};

Image paintAt(Renderer& renderer, const layout::DrawList& list, const DrawOptions& options) {
  Image image{SurfacePtr(cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(list.size.width * options.scale)),
      static_cast<int>(std::ceil(list.size.height * options.scale))))};
  cairo_t* cr = cairo_create(image.surface.get());
  cairo_scale(cr, options.scale, options.scale);
  renderer.paint(cr, list, options.appearance);
  cairo_destroy(cr);
  cairo_surface_flush(image.surface.get());
  return image;
}

struct Measured {
  double ratio = 0.0;
  int textPixels = 0;
};

/// The text's most contrasting pixel (the darkest on a light background, the
/// lightest on a dark one) against the least contrasting background pixel
/// under its box.
Measured measure(const Image& drawn, const Image& behind, const layout::Rect& box, double scale) {
  const int width = cairo_image_surface_get_width(drawn.surface.get());
  const int height = cairo_image_surface_get_height(drawn.surface.get());
  const int left = std::max(0, static_cast<int>(std::floor(box.x * scale)));
  const int top = std::max(0, static_cast<int>(std::floor(box.y * scale)));
  const int right = std::min(width, static_cast<int>(std::ceil(box.maxX() * scale)));
  const int bottom = std::min(height, static_cast<int>(std::ceil(box.maxY() * scale)));
  double darkestBackground = 1.0;
  double lightestBackground = 0.0;
  double darkestText = 1.0;
  double lightestText = 0.0;
  Measured measured;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const double background = luminance(behind.at(x, y));
      darkestBackground = std::min(darkestBackground, background);
      lightestBackground = std::max(lightestBackground, background);
      if (drawn.at(x, y) != behind.at(x, y)) {
        ++measured.textPixels;
        const double text = luminance(drawn.at(x, y));
        darkestText = std::min(darkestText, text);
        lightestText = std::max(lightestText, text);
      }
    }
  }
  const bool darkOnLight = lightestText - lightestBackground < darkestBackground - darkestText;
  measured.ratio = darkOnLight ? contrast(darkestText, darkestBackground)
                               : contrast(lightestText, lightestBackground);
  return measured;
}

class TextContrast : public testing::TestWithParam<GoldenScene> {};

TEST_P(TextContrast, EveryTextMeetsTheAaRatioForBodyText) {
  const GoldenScene& scene = GetParam();
  Renderer renderer;
  const auto list = layout::layoutWidget(
      goldenTree(scene), render::widgetCanvas(scene.options.family, scene.options.instant),
      renderer.measurer());
  ASSERT_TRUE(list.has_value()) << list.error().message;
  layout::DrawList withoutTexts{list->size, {}};
  std::copy_if(
      list->commands.begin(), list->commands.end(), std::back_inserter(withoutTexts.commands),
      [](const auto& command) { return !std::holds_alternative<layout::DrawText>(command); });
  const Image drawn = paintAt(renderer, *list, scene.options);
  const Image behind = paintAt(renderer, withoutTexts, scene.options);

  int texts = 0;
  for (const auto& command : list->commands) {
    const auto* text = std::get_if<layout::DrawText>(&command);
    if (text == nullptr) {
      continue;
    }
    ++texts;
    const Measured measured = measure(drawn, behind, text->box, scene.options.scale);
    EXPECT_GT(measured.textPixels, 0) << '"' << text->text << "\" left no pixel";
    EXPECT_GE(measured.ratio, kMinimumContrast)
        << '"' << text->text << "\" stands out only " << measured.ratio << ":1";
  }
  EXPECT_GE(texts, 4);  // the header, the project, the readout and the day's total
}

/// The golden scenes at their own scale and at one pixel a point, where
/// antialiasing pales thin strokes most.
std::vector<GoldenScene> contrastScenes() {
  std::vector<GoldenScene> scenes = goldenScenes();
  const std::size_t count = scenes.size();
  for (std::size_t i = 0; i < count; ++i) {
    GoldenScene once = scenes[i];
    once.name += "-1x";
    once.options.scale = 1.0;
    scenes.push_back(std::move(once));
  }
  return scenes;
}

INSTANTIATE_TEST_SUITE_P(Scenes, TextContrast, testing::ValuesIn(contrastScenes()),
                         [](const testing::TestParamInfo<GoldenScene>& scene) {
                           std::string name = scene.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace velto::host::cairo
