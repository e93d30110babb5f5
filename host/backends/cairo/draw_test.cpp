#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "host/backends/cairo/handles.hpp"
#include "host/backends/cairo/pango_text.hpp"
#include "host/backends/cairo/renderer.hpp"
#include "host/backends/cairo/symbols.hpp"
#include "host/render/palette.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/url.hpp"

namespace velto::host::cairo {
namespace {

using namespace platform::ui;
using platform::foundation::Date;
using platform::widgets::WidgetFamily;

/// The pixel at (x, y) of an ARGB32 image, premultiplied, as 0xAARRGGBB.
std::uint32_t pixel(cairo_surface_t* image, int x, int y) {
  cairo_surface_flush(image);
  std::uint32_t value = 0;
  const unsigned char* row =
      cairo_image_surface_get_data(image)
      + static_cast<std::size_t>(y)
            * static_cast<std::size_t>(cairo_image_surface_get_stride(image));
  std::memcpy(&value, row + static_cast<std::size_t>(x) * 4, 4);
  return value;
}

std::uint32_t alpha(std::uint32_t argb) {
  return argb >> 24;
}

DrawOptions options(WidgetFamily family = WidgetFamily::systemSmall, double scale = 2,
                    Appearance appearance = Appearance::light) {
  return DrawOptions{family, scale, appearance, Date(100)};
}

/// Every element kind and modifier the vocabulary has, in one tree.
View everything() {
  return VStack(
             HorizontalAlignment::leading, std::nullopt,
             {HStack(VerticalAlignment::center, 4,
                     {Label(Text::key("KEY"), "hourglass").tracking(1.1), Spacer(),
                      Circle().fill(Color::green()).frame(6, 6)}),
              ZStack(Alignment::topLeading,
                     {Color::orange().opacity(0.3),
                      Text::verbatim("verbatim text that is too long to fit on the line")
                          .lineLimit(1)
                          .minimumScaleFactor(0.5)}),
              Text::timer(Date(0)).monospacedDigit().font(
                  Font::system(20, Font::Weight::bold, Font::Design::monospaced)),
              HStack(VerticalAlignment::bottom, std::nullopt,
                     {Image::systemName("sun.max"), Image::systemName("play.fill"),
                      Image::systemName("pause.fill"), Image::systemName("stop.fill"),
                      Image::systemName("no.such.symbol"),
                      Link(*URL::fromString("velto://stop"), Image::systemName("stop.fill"))
                          .frame(24, 24)
                          .background(Circle().fill(Color::primary().opacity(0.09)))}),
              Text::verbatim("serif").font(
                  Font::system(9, Font::Weight::light, Font::Design::serif)),
              Text::verbatim("bad \xff utf-8").foregroundStyle(HierarchicalShapeStyle::tertiary)})
      .font(Font::system(11, Font::Weight::semibold, Font::Design::rounded))
      .foregroundStyle(HierarchicalShapeStyle::secondary)
      .containerBackground(
          ContainerBackgroundPlacement::widget, Alignment::center,
          ZStack({Color::windowBackground(),
                  RadialGradient(Gradient({Color::orange().opacity(0.22), Color::clear()}),
                                 UnitPoint::topTrailing, 0, 240)}));
}

TEST(EncodeWidget, DrawsEveryElementKindAsPngAndSvg) {
  for (const WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium}) {
    for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
      const auto png = encodeWidget(everything(), options(family, 2, appearance), ImageFormat::png);
      ASSERT_TRUE(png.has_value()) << png.error().message;
      const auto svg = encodeWidget(everything(), options(family, 2, appearance), ImageFormat::svg);
      ASSERT_TRUE(svg.has_value()) << svg.error().message;
      EXPECT_EQ(0, png->rfind("\x89PNG", 0));
      EXPECT_NE(std::string::npos, svg->find("<svg"));
    }
  }
}

TEST(RenderImage, IsTheWidgetSizeTimesTheScale) {
  struct Case {
    WidgetFamily family;
    double scale;
    int width;
    int height;
  };
  const Case cases[] = {{WidgetFamily::systemSmall, 1, 170, 170},
                        {WidgetFamily::systemSmall, 2, 340, 340},
                        {WidgetFamily::systemSmall, 1.5, 255, 255},
                        {WidgetFamily::systemMedium, 2, 728, 340},
                        {WidgetFamily::systemLarge, 1, 382, 382}};
  for (const Case& c : cases) {
    const auto image = renderImage(Text::verbatim("x"), options(c.family, c.scale));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(c.width, cairo_image_surface_get_width(image->get())) << c.scale;
    EXPECT_EQ(c.height, cairo_image_surface_get_height(image->get())) << c.scale;
  }
}

TEST(RenderImage, RefusesScalesThatAreNotSensible) {
  for (const double scale : {0.0, -1.0, 17.0, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()}) {
    const auto image = renderImage(Text::verbatim("x"), options(WidgetFamily::systemSmall, scale));
    EXPECT_FALSE(image.has_value()) << scale;
  }
}

TEST(RenderImage, ClipsToTheRoundedCornersAndFillsTheRest) {
  const View tree = Text::verbatim("x").containerBackground(
      ContainerBackgroundPlacement::widget, Alignment::center, Color::windowBackground());
  const auto image = renderImage(tree, options());
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(0U, alpha(pixel(image->get(), 0, 0)));
  EXPECT_EQ(0U, alpha(pixel(image->get(), 339, 339)));
  EXPECT_EQ(255U, alpha(pixel(image->get(), 20, 20)));  // past the 20 pt corner's curve at 2×
  EXPECT_EQ(255U, alpha(pixel(image->get(), 170, 2)));
}

TEST(RenderImage, PaintsThePalettesColourOfTheAppearance) {
  const View tree = Color::windowBackground();
  for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
    const auto image = renderImage(tree, options(WidgetFamily::systemSmall, 1, appearance));
    ASSERT_TRUE(image.has_value());
    const render::Rgba window = render::systemColor(SystemColor::windowBackground, appearance);
    const auto channel = [](double value) {
      return static_cast<std::uint32_t>(std::lround(value * 255));
    };
    EXPECT_EQ(
        0xFF000000U | channel(window.red) << 16 | channel(window.green) << 8 | channel(window.blue),
        pixel(image->get(), 85, 85));
  }
}

TEST(RenderImage, DrawsSomethingOrFailsForAbsurdTrees) {
  const double huge = 1e300;
  const View absurd =
      VStack({Text::verbatim(std::string(100'000, 'w')).font(Font::system(huge)),
              Circle().frame(huge, huge), Spacer(huge),
              Image::systemName("sun.max").font(Font::system(-5)),
              RadialGradient(Gradient({Color::green()}), UnitPoint{huge, -huge}, huge, -huge)})
          .tracking(huge);
  const auto image = renderImage(absurd, options());
  EXPECT_TRUE(image.has_value());

  View deep = Text::verbatim("leaf");
  for (int i = 0; i < 200; ++i) {
    deep = HStack({std::move(deep)});
  }
  const auto refused = renderImage(deep, options());
  ASSERT_FALSE(refused.has_value());
  EXPECT_NE(std::string::npos, refused.error().message.find("lay out"));
}

/// The symbol drawn alone in black on a 40 × 40 transparent image.
SurfacePtr symbolImage(const char* name) {
  SurfacePtr image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 40));
  const CairoPtr cr(cairo_create(image.get()));
  cairo_set_source_rgb(cr.get(), 0, 0, 0);
  drawSymbol(cr.get(), name, layout::Rect{0, 0, 40, 40}, Font::Weight::regular);
  return image;
}

TEST(DrawSymbol, UnknownNameDrawsAnEmptyBox) {
  EXPECT_FALSE(isKnownSymbol("no.such.symbol"));
  const SurfacePtr image = symbolImage("no.such.symbol");
  EXPECT_EQ(0U, alpha(pixel(image.get(), 20, 20)));   // hollow
  EXPECT_LT(200U, alpha(pixel(image.get(), 20, 6)));  // the outline's top edge
  EXPECT_EQ(0U, alpha(pixel(image.get(), 1, 1)));     // rounded corner
}

TEST(DrawSymbol, KnownSymbolsDrawTheirOwnShapes) {
  struct Case {
    const char* name;
    int x;
    int y;
    bool inked;
  };
  // One point inside and one outside each drawing's ink.
  const Case cases[] = {
      {"hourglass", 20, 3, true},    {"hourglass", 8, 20, false}, {"hourglass", 20, 32, true},
      {"sun.max", 20, 12, true},     {"sun.max", 20, 20, false},  {"sun.max", 37, 4, false},
      {"play.fill", 18, 20, true},   {"play.fill", 36, 8, false}, {"pause.fill", 12, 20, true},
      {"pause.fill", 20, 20, false}, {"stop.fill", 20, 20, true}, {"stop.fill", 3, 3, false},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(isKnownSymbol(c.name));
    const SurfacePtr image = symbolImage(c.name);
    EXPECT_EQ(c.inked, alpha(pixel(image.get(), c.x, c.y)) > 128)
        << c.name << " at " << c.x << "," << c.y;
  }
}

TEST(PangoTextMeasurer, PicksTheInstalledFamilyForEachDesign) {
  const PangoTextMeasurer measurer;
  EXPECT_EQ("Comfortaa", measurer.families().forDesign(Font::Design::rounded));
  EXPECT_EQ("JetBrains Mono", measurer.families().forDesign(Font::Design::monospaced));
  EXPECT_EQ("DejaVu Sans", measurer.families().forDesign(Font::Design::standard));
}

TEST(PangoTextMeasurer, TrackingAddsSpaceBetweenCharacters) {
  const PangoTextMeasurer measurer;
  const layout::TextStyle plain{Font::system(10, Font::Weight::black, Font::Design::rounded)};
  layout::TextStyle tracked = plain;
  tracked.tracking = 1.1;
  EXPECT_NEAR(measurer.measure("VELTO", plain).width + 4 * 1.1,
              measurer.measure("VELTO", tracked).width, 0.01);
}

TEST(PangoTextMeasurer, MonospacedDigitsShareOneWidth) {
  const PangoTextMeasurer measurer;
  // Comfortaa's digits are proportional and it has no tabular ones to switch to.
  for (const Font::Design design :
       {Font::Design::rounded, Font::Design::standard, Font::Design::monospaced}) {
    for (const double tracking : {0.0, 1.5}) {
      const layout::TextStyle style{Font::system(13, Font::Weight::bold, design), tracking, true};
      for (const char* text : {"0000", "1h 11m", "12:34"}) {
        std::string ones = text;
        std::replace_if(
            ones.begin(), ones.end(), [](char c) { return c >= '0' && c <= '9'; }, '1');
        EXPECT_NEAR(measurer.measure(text, style).width, measurer.measure(ones, style).width, 1e-3)
            << text << " in design " << static_cast<int>(design) << ", tracking " << tracking;
      }
    }
  }
  const layout::TextStyle proportional{Font::system(13, Font::Weight::bold, Font::Design::rounded)};
  EXPECT_GT(measurer.measure("0000", proportional).width - 1,
            measurer.measure("1111", proportional).width);
}

TEST(PangoTextMeasurer, BolderWeightsPickBolderFaces) {
  const PangoTextMeasurer measurer;
  const auto width = [&](Font::Weight weight) {
    return measurer.measure("Deep Work", {Font::system(13, weight, Font::Design::standard)}).width;
  };
  EXPECT_LT(width(Font::Weight::regular), width(Font::Weight::bold));
}

TEST(PangoTextMeasurer, LinesAreShapedOncePerFrame) {
  PangoTextMeasurer measurer;
  const layout::TextStyle style{Font::system(12)};
  PangoLayout* first = measurer.line("one", style);
  EXPECT_EQ(first, measurer.line("one", style));
  EXPECT_NE(first, measurer.line("two", style));
  measurer.beginFrame();
  // The next frame reuses the Pango layouts, in order, for whatever it shapes.
  EXPECT_EQ(first, measurer.line("three", style));
  EXPECT_EQ(std::string("three"), pango_layout_get_text(first));
}

}  // namespace
}  // namespace velto::host::cairo
