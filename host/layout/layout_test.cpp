#include "host/layout/layout.hpp"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/describe.hpp"
#include "platform/ui/elements.hpp"
#include "platform/ui/url.hpp"
#include "tests/support/fake_text_measurer.hpp"

namespace velto::host::layout {
namespace {

using namespace platform::ui;
using platform::foundation::Date;

constexpr double kSize = 10;  // font size of the test texts: 6 pt a character, 10 pt a line

View text(const char* string, double size = kSize) {
  return Text::verbatim(string).font(Font::system(size));
}

/// Lays `view` out alone in a canvas of `size` with no margin or rounding.
DrawList lay(const View& view, Size size = {200, 100}, Date instant = Date(0)) {
  const FakeTextMeasurer measurer;
  auto list = layoutWidget(view, WidgetCanvas{size, 0, 0, instant}, measurer);
  EXPECT_TRUE(list.has_value()) << (list ? "" : list.error().message);
  return list ? *list : DrawList{};
}

template <class Command>
std::vector<Command> all(const DrawList& list) {
  std::vector<Command> found;
  for (const DrawCommand& command : list.commands) {
    if (const auto* c = std::get_if<Command>(&command)) {
      found.push_back(*c);
    }
  }
  return found;
}

DrawText run(const DrawList& list, const std::string& string) {
  for (const DrawText& t : all<DrawText>(list)) {
    if (t.text == string) {
      return t;
    }
  }
  ADD_FAILURE() << "no text run \"" << string << "\"";
  return DrawText{{}, "", {}, Color::clear(), 1};
}

// How lengths are shared is DistributeStack's and how text fits is FitText's
// (stack_distribution_test, text_fitting_test); these cases prove the layout uses them.
TEST(Layout, SpacersShareTheFreeLengthEqually) {
  const DrawList list = lay(VStack(HorizontalAlignment::leading, 0,
                                   {text("a"), Spacer(), text("b"), Spacer(), text("c")}));
  // 100 pt tall, three lines of 10: 35 pt for each spacer.
  EXPECT_EQ(0, run(list, "a").box.y);
  EXPECT_EQ(45, run(list, "b").box.y);
  EXPECT_EQ(90, run(list, "c").box.y);
}

TEST(Layout, StacksPlaceChildrenByTheirCrossAlignment) {
  struct Case {
    View stack;
    double x;
    double y;
  };
  const auto vstack = [](HorizontalAlignment alignment) {
    return VStack(alignment, 0, {text("wide wide"), text("a")});
  };
  const auto hstack = [](VerticalAlignment alignment) {
    return HStack(alignment, 0, {text("tall", 30), text("a")});
  };
  const Case cases[] = {
      {vstack(HorizontalAlignment::leading), 0, 10},
      {vstack(HorizontalAlignment::center), 24, 10},
      {vstack(HorizontalAlignment::trailing), 48, 10},
      {hstack(VerticalAlignment::top), 72, 0},
      {hstack(VerticalAlignment::center), 72, 10},
      {hstack(VerticalAlignment::bottom), 72, 20},
  };
  for (const Case& c : cases) {
    const DrawList list = lay(c.stack.frame(std::nullopt, std::nullopt, Alignment::topLeading));
    const DrawText first = all<DrawText>(list).at(0);
    const DrawText a = run(list, "a");
    EXPECT_DOUBLE_EQ(c.x, a.box.x - first.box.x) << describe(c.stack);
    EXPECT_DOUBLE_EQ(c.y, a.box.y - first.box.y) << describe(c.stack);
  }
}

TEST(Layout, FramePlacesItsContentByTheAlignment) {
  struct Case {
    Alignment alignment;
    Point origin;
  };
  // A 12 × 10 text in a 100 × 50 frame at the canvas's top-left corner.
  const Case cases[] = {
      {Alignment::topLeading, {0, 0}},       {Alignment::top, {44, 0}},
      {Alignment::topTrailing, {88, 0}},     {Alignment::leading, {0, 20}},
      {Alignment::center, {44, 20}},         {Alignment::trailing, {88, 20}},
      {Alignment::bottomLeading, {0, 40}},   {Alignment::bottom, {44, 40}},
      {Alignment::bottomTrailing, {88, 40}},
  };
  for (const Case& c : cases) {
    const View framed = text("ab").frame(100, 50, c.alignment);
    const DrawList list = lay(framed.frame(200, 100, Alignment::topLeading));
    EXPECT_EQ(c.origin, (Point{run(list, "ab").box.x, run(list, "ab").box.y})) << describe(framed);
  }
}

TEST(Layout, BackgroundTakesTheBoxOfTheViewItModifies) {
  struct Case {
    const char* name;
    View view;
    Size box;
  };
  const Case cases[] = {
      {"text", text("abc").background(Color::orange()), {18, 10}},
      {"framed text", text("abc").frame(50, 24).background(Color::orange()), {50, 24}},
      {"text framed on one axis, the content's on the other",
       text("abc").frame(40, std::nullopt).background(Color::orange()),
       {40, 10}},
      {"stack",
       VStack(HorizontalAlignment::leading, 0, {text("abc"), text("a")})
           .background(Color::orange()),
       {18, 20}},
  };
  for (const Case& c : cases) {
    const DrawList list = lay(c.view);
    const std::vector<FillRect> fills = all<FillRect>(list);
    ASSERT_EQ(1U, fills.size()) << c.name;
    EXPECT_EQ(c.box, fills[0].rect.size()) << c.name;
    const DrawText first = all<DrawText>(list).at(0);
    EXPECT_LE(fills[0].rect.x, first.box.x) << c.name;
    EXPECT_LE(first.box.maxX(), fills[0].rect.maxX()) << c.name;
    // Drawn behind: before the content.
    EXPECT_TRUE(std::holds_alternative<FillRect>(list.commands.at(1))) << c.name;
  }
}

TEST(Layout, BackgroundOfAnotherSizeIsPlacedByItsAlignment) {
  const View view =
      View(Color::orange()).frame(40, 20).background(text("ab"), Alignment::bottomTrailing);
  const DrawList list = lay(view.frame(200, 100, Alignment::topLeading));
  EXPECT_EQ((Rect{28, 10, 12, 10}), run(list, "ab").box);
}

TEST(Layout, CircleIsTheLargestThatFitsCentred) {
  const DrawList list =
      lay(Circle().fill(Color::green()).frame(40, 20).frame(200, 100, Alignment::topLeading));
  const FillCircle circle = all<FillCircle>(list).at(0);
  EXPECT_EQ((Point{20, 10}), circle.center);
  EXPECT_EQ(10, circle.radius);
  EXPECT_EQ(Color::green(), circle.color);
}

TEST(Layout, ZStackLayersChildrenByItsAlignment) {
  const View z =
      ZStack(Alignment::bottomTrailing, {View(Color::orange()).frame(40, 30), text("ab")});
  const DrawList list = lay(z.frame(200, 100, Alignment::topLeading));
  EXPECT_EQ((Rect{0, 0, 40, 30}), all<FillRect>(list).at(0).rect);
  EXPECT_EQ((Rect{28, 20, 12, 10}), run(list, "ab").box);
  EXPECT_TRUE(std::holds_alternative<FillRect>(list.commands.at(1)));
}

TEST(Layout, ContainerBackgroundFillsTheWholeWidgetBehindEverything) {
  const View view = text("ab").containerBackground(ContainerBackgroundPlacement::widget,
                                                   Alignment::center, Color::windowBackground());
  const FakeTextMeasurer measurer;
  const auto list = layoutWidget(view, WidgetCanvas{{170, 170}, 14, 20, Date(0)}, measurer);
  ASSERT_TRUE(list.has_value());
  ASSERT_LE(3U, list->commands.size());
  EXPECT_EQ((PushClip{{0, 0, 170, 170}, 20}), std::get<PushClip>(list->commands.front()));
  EXPECT_EQ((FillRect{{0, 0, 170, 170}, 0, Color::windowBackground()}),
            std::get<FillRect>(list->commands.at(1)));
  EXPECT_TRUE(std::holds_alternative<PopClip>(list->commands.back()));
  // The content itself is centred in the box inside the margins.
  EXPECT_EQ((Rect{79, 80, 12, 10}), run(*list, "ab").box);
}

TEST(Layout, RadialGradientCentresOnItsUnitPointWithEvenStops) {
  const View gradient = RadialGradient(Gradient({Color::orange(), Color::green(), Color::clear()}),
                                       UnitPoint::topTrailing, 5, 240);
  const DrawList list = lay(gradient, {300, 100});
  const FillRadialGradient fill = all<FillRadialGradient>(list).at(0);
  EXPECT_EQ((Rect{0, 0, 300, 100}), fill.rect);
  EXPECT_EQ((Point{300, 0}), fill.center);
  EXPECT_EQ(5, fill.startRadius);
  EXPECT_EQ(240, fill.endRadius);
  const std::vector<GradientStop> expected{
      {0.0, Color::orange()}, {0.5, Color::green()}, {1.0, Color::clear()}};
  EXPECT_EQ(expected, fill.stops);
}

TEST(Layout, TextShrinksToItsMinimumScaleThenTruncatesToItsFrame) {
  struct Case {
    double width;
    const char* shown;
    double scale;
  };
  // "abcdefghij" is 60 pt wide; it may shrink to 0.75 (45 pt).
  const Case cases[] = {
      {54, "abcdefghij", 0.9},
      {40, "abcdefg\u2026", 0.75},  // 40 / 0.75 = 53.3 pt: seven letters and "…"
      {3, "", 0.75},
  };
  for (const Case& c : cases) {
    const View line = text("abcdefghij").minimumScaleFactor(0.75).lineLimit(1);
    const DrawList list = lay(line.frame(c.width, 20, Alignment::leading));
    const std::vector<DrawText> runs = all<DrawText>(list);
    if (*c.shown == '\0') {
      EXPECT_TRUE(runs.empty()) << c.width;
      continue;
    }
    ASSERT_EQ(1U, runs.size()) << c.width;
    EXPECT_EQ(c.shown, runs[0].text) << c.width;
    EXPECT_DOUBLE_EQ(c.scale, runs[0].scale) << c.width;
    EXPECT_LE(runs[0].box.width, c.width + 1e-9) << c.width;
    EXPECT_DOUBLE_EQ(kSize * c.scale, runs[0].box.height) << c.width;
  }
}

TEST(Layout, EnvironmentReachesEverythingInsideAndTheInnermostWins) {
  const View tree = VStack(HorizontalAlignment::leading, 0,
                           {Text::verbatim("outer"),
                            Text::verbatim("inner").font(Font::system(20, Font::Weight::bold)),
                            Label(Text::verbatim("label"), "sun.max")
                                .foregroundStyle(HierarchicalShapeStyle::primary),
                            Circle(), Image::systemName("x")})
                        .font(Font::system(12, Font::Weight::semibold, Font::Design::rounded))
                        .tracking(0.5)
                        .monospacedDigit()
                        .foregroundStyle(HierarchicalShapeStyle::secondary);
  const DrawList list = lay(tree, {300, 300});
  const TextStyle outer{Font::system(12, Font::Weight::semibold, Font::Design::rounded), 0.5, true};
  EXPECT_EQ(outer, run(list, "outer").style);
  EXPECT_EQ(Color::secondary(), run(list, "outer").color);
  EXPECT_EQ((TextStyle{Font::system(20, Font::Weight::bold), 0.5, true}), run(list, "inner").style);
  EXPECT_EQ(Color::primary(), run(list, "label").color);
  const std::vector<DrawSymbol> symbols = all<DrawSymbol>(list);
  ASSERT_EQ(2U, symbols.size());
  EXPECT_EQ((DrawSymbol{symbols[0].box, "sun.max", Color::primary(), Font::Weight::semibold}),
            symbols[0]);
  EXPECT_EQ(12, symbols[0].box.width);
  EXPECT_EQ(Color::secondary(), symbols[1].color);
  EXPECT_EQ(Color::secondary(), all<FillCircle>(list).at(0).color);
}

TEST(Layout, DefaultsArePrimaryTextInTheDefaultFont) {
  const DrawList list = lay(Text::verbatim("plain"));
  EXPECT_EQ((TextStyle{Font::system(kDefaultFontSize), 0, false}), run(list, "plain").style);
  EXPECT_EQ(Color::primary(), run(list, "plain").color);
}

TEST(Layout, TrackingWidensTheText) {
  const DrawList list = lay(text("abcd").tracking(2).background(Color::orange()));
  EXPECT_EQ(24 + 3 * 2, all<FillRect>(list).at(0).rect.width);
}

TEST(Layout, LabelPutsTheSymbolBeforeTheTitleAtTheFontsSize) {
  const View label = Label(Text::verbatim("abc"), "sun.max").font(Font::system(10));
  const DrawList list = lay(label.frame(200, 100, Alignment::topLeading));
  const DrawSymbol symbol = all<DrawSymbol>(list).at(0);
  EXPECT_EQ((Rect{0, 0, 10, 10}), symbol.box);
  EXPECT_DOUBLE_EQ(14, run(list, "abc").box.x);  // the symbol, then 0.4 of the font size
  EXPECT_EQ(Color::primary(), symbol.color);
}

TEST(Layout, TextContentsAreResolved) {
  struct Case {
    Text text;
    const char* shown;
  };
  const Case cases[] = {
      {Text::verbatim("Ready"), "Ready"},
      {Text::key("VELTO"), "VELTO"},
      // How a timer reads is TimerClockText's (timer_text_test); this one proves it is asked.
      {Text::timer(Date(1000 - 754)), "00:12:34"},
  };
  for (const Case& c : cases) {
    const DrawList list = lay(c.text, {200, 100}, Date(1000));
    EXPECT_EQ(c.shown, all<DrawText>(list).at(0).text);
  }
}

TEST(Layout, MeasuresEachTextAndStyleOncePerPass) {
  const View tree = VStack(HorizontalAlignment::leading, 0,
                           {HStack(VerticalAlignment::center, std::nullopt,
                                   {text("same"), Spacer(), text("same").frame(30, 10)}),
                            Spacer(), text("same"), text("same", 20)});
  const FakeTextMeasurer measurer;
  ASSERT_TRUE(layoutWidget(tree, WidgetCanvas{{200, 100}, 0, 0, Date(0)}, measurer).has_value());
  EXPECT_EQ(1, measurer.calls("same", 10));
  EXPECT_EQ(1, measurer.calls("same", 20));
  ASSERT_TRUE(layoutWidget(tree, WidgetCanvas{{200, 100}, 0, 0, Date(0)}, measurer).has_value());
  EXPECT_EQ(2, measurer.calls("same", 10));
}

TEST(Layout, LinkRegionCoversTheBoxOfTheViewHoldingTheLink) {
  const View button = Link(*URL::fromString("velto://stop"), Image::systemName("stop.fill"))
                          .frame(24, 24)
                          .background(Circle().fill(Color::primary().opacity(0.09)));
  const DrawList list = lay(button, {100, 50});
  const std::vector<LinkRegion> links = all<LinkRegion>(list);
  ASSERT_EQ(1U, links.size());
  EXPECT_EQ((LinkRegion{{38, 13, 24, 24}, "velto://stop"}), links[0]);
  EXPECT_EQ((Rect{43.5, 18.5, 13, 13}), all<DrawSymbol>(list).at(0).box);
}

TEST(Layout, AbsurdLengthsAreClampedAndStillLayOut) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const View tree =
      VStack(HorizontalAlignment::leading, -5,
             {text("a").frame(nan, -10), text("b").frame(inf, 1e300), Spacer(-3),
              Text::verbatim("c").font(Font::system(nan)).tracking(inf), Circle().frame(1e12, nan),
              RadialGradient(Gradient({}), UnitPoint{nan, inf}, nan, -1)});
  const DrawList list = lay(tree);
  for (const DrawCommand& command : list.commands) {
    std::visit(
        [](const auto& c) {
          if constexpr (requires { c.rect; }) {
            EXPECT_TRUE(std::isfinite(c.rect.x) && std::isfinite(c.rect.width));
            EXPECT_LE(c.rect.width, kMaxLength);
          }
        },
        command);
  }
  EXPECT_EQ(kDefaultFontSize, run(list, "c").style.font.size);
}

TEST(Layout, RefusesTreesTooDeepToLayOut) {
  View tree = text("leaf");
  for (int i = 0; i < kMaxTreeDepth + 1; ++i) {
    tree = VStack({std::move(tree)});
  }
  const FakeTextMeasurer measurer;
  const auto list = layoutWidget(tree, WidgetCanvas{{100, 100}, 0, 0, Date(0)}, measurer);
  ASSERT_FALSE(list.has_value());
  EXPECT_EQ(LayoutError::Code::tooDeep, list.error().code);
}

TEST(Layout, RefusesCanvasesThatAreNotLengths) {
  const FakeTextMeasurer measurer;
  for (const Size size : {Size{0, 100}, Size{-1, 100}, Size{std::nan(""), 10}, Size{1e300, 10}}) {
    const auto list = layoutWidget(text("a"), WidgetCanvas{size, 0, 0, Date(0)}, measurer);
    ASSERT_FALSE(list.has_value()) << size.width;
    EXPECT_EQ(LayoutError::Code::invalidCanvas, list.error().code);
  }
}

}  // namespace
}  // namespace velto::host::layout
