// Each golden scene drawn afresh and compared with its committed image. Run with
// VELTO_REGENERATE_GOLDENS=1 (scripts/regenerate-goldens) to rewrite them.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/backends/cairo/handles.hpp"
#include "host/backends/cairo/renderer.hpp"
#include "tests/support/golden_scenes.hpp"

namespace velto::host::cairo {

void PrintTo(const GoldenScene& scene, std::ostream* out) {
  *out << scene.name;
}

namespace {

// Font rasterisation may differ by a few levels between builds of the same
// libraries; a broken layout or colour moves far more pixels than this.
constexpr int kChannelTolerance = 24;
constexpr double kMaxDifferentFraction = 0.005;

struct Difference {
  std::size_t pixels = 0;
  std::size_t total = 0;
};

/// Counts pixels of two same-sized ARGB32 images with a channel further apart
/// than kChannelTolerance.
Difference compare(cairo_surface_t* a, cairo_surface_t* b) {
  const int width = cairo_image_surface_get_width(a);
  const int height = cairo_image_surface_get_height(a);
  const unsigned char* rowsA = cairo_image_surface_get_data(a);
  const unsigned char* rowsB = cairo_image_surface_get_data(b);
  const auto strideA = static_cast<std::size_t>(cairo_image_surface_get_stride(a));
  const auto strideB = static_cast<std::size_t>(cairo_image_surface_get_stride(b));
  Difference difference{0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height)};
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      std::uint32_t pa = 0;
      std::uint32_t pb = 0;
      std::memcpy(&pa, rowsA + y * strideA + x * 4, 4);
      std::memcpy(&pb, rowsB + y * strideB + x * 4, 4);
      for (unsigned shift = 0; shift < 32; shift += 8) {
        const int ca = static_cast<int>((pa >> shift) & 0xFFU);
        const int cb = static_cast<int>((pb >> shift) & 0xFFU);
        if (std::abs(ca - cb) > kChannelTolerance) {
          ++difference.pixels;
          break;
        }
      }
    }
  }
  return difference;
}

bool regenerating() {
  const char* flag = std::getenv("VELTO_REGENERATE_GOLDENS");
  return flag != nullptr && std::string(flag) == "1";
}

class GoldenImage : public testing::TestWithParam<GoldenScene> {};

TEST_P(GoldenImage, MatchesTheCommittedImage) {
  const GoldenScene& scene = GetParam();
  auto actual = renderImage(goldenTree(scene), scene.options);
  ASSERT_TRUE(actual.has_value()) << actual.error().message;
  const std::filesystem::path golden =
      std::filesystem::path(VELTO_GOLDEN_DIR) / (scene.name + ".png");

  if (regenerating()) {
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_write_to_png(actual->get(), golden.c_str()))
        << golden;
    std::printf("rewrote %s\n", golden.c_str());
    return;
  }

  const SurfacePtr expected(cairo_image_surface_create_from_png(golden.c_str()));
  ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(expected.get()))
      << "cannot read " << golden << "; scripts/regenerate-goldens makes it";
  // A PNG without alpha would load as RGB24 and compare its padding byte.
  ASSERT_EQ(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_format(expected.get()));
  ASSERT_EQ(cairo_image_surface_get_width(actual->get()),
            cairo_image_surface_get_width(expected.get()));
  ASSERT_EQ(cairo_image_surface_get_height(actual->get()),
            cairo_image_surface_get_height(expected.get()));

  const Difference difference = compare(actual->get(), expected.get());
  const double fraction =
      static_cast<double>(difference.pixels) / static_cast<double>(difference.total);
  if (fraction > kMaxDifferentFraction) {
    const std::filesystem::path out =
        std::filesystem::path(VELTO_GOLDEN_ACTUAL_DIR) / (scene.name + ".png");
    std::filesystem::create_directories(out.parent_path());
    cairo_surface_write_to_png(actual->get(), out.c_str());
    ADD_FAILURE() << difference.pixels << " of " << difference.total << " pixels differ from "
                  << golden << "; the image drawn now is " << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenImage, testing::ValuesIn(goldenScenes()),
                         [](const testing::TestParamInfo<GoldenScene>& scene) {
                           std::string name = scene.param.name;
                           for (char& c : name) {
                             c = c == '-' ? '_' : c;
                           }
                           return name;
                         });

}  // namespace
}  // namespace velto::host::cairo
