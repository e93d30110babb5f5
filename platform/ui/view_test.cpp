#include "platform/ui/view.hpp"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/describe.hpp"

namespace platform::ui {
namespace {

using foundation::Date;

URL url(const char* text) {
  return *URL::fromString(text);
}

TEST(View, FluentBuildersMakeTheTreeTheyDescribe) {
  const View built =
      HStack(VerticalAlignment::center, std::nullopt,
             {
                 Label(Text::key("VELTO"), "hourglass")
                     .font(Font::system(10, Font::Weight::black, Font::Design::rounded))
                     .tracking(1.1),
                 Spacer(),
                 Circle().fill(Color::green()).frame(6, 6, Alignment::center),
             });

  Circle greenDot;
  greenDot.fillColor = Color(SystemColor::green, 1.0);
  const View expected(
      HStack(VerticalAlignment::center, std::nullopt,
             {
                 View(Label(Text(LocalizedStringKey{"VELTO"}), "hourglass"),
                      {FontModifier{Font{10, Font::Weight::black, Font::Design::rounded}},
                       TrackingModifier{1.1}}),
                 View(Spacer(std::nullopt)),
                 View(greenDot, {FrameModifier{6.0, 6.0, Alignment::center}}),
             }));
  EXPECT_EQ(expected, built);
}

TEST(View, ModifiersKeepTheOrderTheyWereApplied) {
  const Text text = Text::verbatim("Ready to focus");
  const Font font = Font::system(13, Font::Weight::bold, Font::Design::rounded);
  EXPECT_NE(text.font(font).lineLimit(1), text.lineLimit(1).font(font));
  EXPECT_NE(View(Image::systemName("x")).frame(24, 24).frame(10, 10),
            View(Image::systemName("x")).frame(10, 10).frame(24, 24));
}

TEST(View, MovingAndCopyingChainsBuildEqualTrees) {
  const Label label(Text::verbatim("1h 1m"), "sun.max");
  const View fromCopy =
      label.font(Font::system(10)).foregroundStyle(HierarchicalShapeStyle::secondary);
  Label movable = label;
  const View fromMove =
      std::move(movable).font(Font::system(10)).foregroundStyle(HierarchicalShapeStyle::secondary);
  EXPECT_EQ(fromCopy, fromMove);
}

TEST(View, EqualityLooksAtEveryPartOfTheTree) {
  const auto link = [](const char* destination, const char* symbol) {
    return Link(url(destination), Image::systemName(symbol));
  };
  struct Case {
    const char* difference;
    View a;
    View b;
  };
  const Case cases[] = {
      {"stack alignment", VStack(HorizontalAlignment::leading, std::nullopt, {}),
       VStack(HorizontalAlignment::center, std::nullopt, {})},
      {"no spacing against zero", HStack(VerticalAlignment::center, std::nullopt, {}),
       HStack(VerticalAlignment::center, 0.0, {})},
      {"child order", ZStack({Color::clear(), Spacer()}), ZStack({Spacer(), Color::clear()})},
      {"child count", VStack({Spacer()}), VStack({Spacer(), Spacer()})},
      {"key against verbatim", Text::key("VELTO"), Text::verbatim("VELTO")},
      {"timer anchor", Text::timer(Date(1.0)), Text::timer(Date(2.0))},
      {"colour opacity", Color::orange().opacity(0.22), Color::orange()},
      {"colour name", Color::primary(), Color::secondary()},
      {"filled against unfilled", Circle().fill(Color::primary()), Circle()},
      {"link destination", link("velto://toggle", "pause.fill"),
       link("velto://stop", "pause.fill")},
      {"link label", link("velto://toggle", "pause.fill"), link("velto://toggle", "play.fill")},
      {"background content", View(Spacer()).background(Circle().fill(Color::primary())),
       View(Spacer()).background(Circle().fill(Color::secondary()))},
      {"element kind", Spacer(), Circle()},
      {"gradient centre",
       RadialGradient(Gradient({Color::orange()}), UnitPoint::topTrailing, 0, 240),
       RadialGradient(Gradient({Color::orange()}), UnitPoint::topLeading, 0, 240)},
  };
  for (const Case& c : cases) {
    EXPECT_NE(c.a, c.b) << c.difference;
    EXPECT_EQ(c.a, View(c.a)) << c.difference;
  }
}

TEST(Color, OpacityMultipliesAndKeepsTheName) {
  const Color color = Color::orange().opacity(0.5).opacity(0.5);
  EXPECT_EQ(SystemColor::orange, color.name());
  EXPECT_EQ(0.25, color.opacity());
}

TEST(Gradient, StopsAreEvenlySpacedFromZeroToOne) {
  const Gradient three({Color::orange(), Color::green(), Color::clear()});
  EXPECT_EQ(0.0, three.location(0));
  EXPECT_EQ(0.5, three.location(1));
  EXPECT_EQ(1.0, three.location(2));
  EXPECT_EQ(0.0, Gradient({Color::orange()}).location(0));
}

TEST(Text, TimerWithoutFiniteAnchorHasNoAnchor) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (double anchor : {std::nan(""), kInf, -kInf}) {
    EXPECT_EQ(Text::Content(Text::Timer{std::nullopt}), Text::timer(Date(anchor)).content)
        << anchor;
  }
  EXPECT_EQ(Text::Content(Text::Timer{Date(-5.5)}), Text::timer(Date(-5.5)).content);
}

}  // namespace
}  // namespace platform::ui
