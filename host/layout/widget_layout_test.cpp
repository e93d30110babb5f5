// The widget's own trees through the layout, with the fake measurer: where the
// header, readout, footer and buttons land in the small and medium widget. Which
// fonts and colours they carry is the view's (velto_widget_view_test); that the
// layout passes them on is layout_test's.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extension/view/velto_widget_view.hpp"
#include "extension/widget/velto_timer_widget.hpp"
#include "host/layout/layout.hpp"
#include "platform/widgets/environment.hpp"
#include "tests/support/fake_text_measurer.hpp"

namespace velto::host::layout {
namespace {

using namespace platform::ui;
using model::SharedTimerSnapshot;
using platform::foundation::Date;
using platform::widgets::EnvironmentScope;
using platform::widgets::EnvironmentValues;
using platform::widgets::WidgetFamily;
using State = SharedTimerSnapshot::State;

constexpr double kNow = 800'000'000;
constexpr double kMargin = 14;

struct Widget {
  WidgetFamily family;
  Size size;
};
constexpr Widget kSmall{WidgetFamily::systemSmall, {170, 170}};
constexpr Widget kMedium{WidgetFamily::systemMedium, {364, 170}};

SharedTimerSnapshot snapshot(State state, std::optional<std::string> project = "Deep Work",
                             double elapsed = 754) {
  return SharedTimerSnapshot(state, std::move(project), elapsed, 5400, Date(kNow));
}

DrawList layOut(const Widget& widget, const SharedTimerSnapshot& shown) {
  const EnvironmentValues environment{widget.family};
  const EnvironmentScope scope(environment);
  const View tree = view::VeltoWidgetView(timeline::VeltoWidgetEntry{Date(kNow), shown})
                        .body()
                        .containerBackground(ContainerBackgroundPlacement::widget,
                                             Alignment::center, widget::veltoWidgetBackground());
  const FakeTextMeasurer measurer;
  auto list = layoutWidget(tree, WidgetCanvas{widget.size, kMargin, 20, Date(kNow)}, measurer);
  EXPECT_TRUE(list.has_value());
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

std::optional<DrawText> runStarting(const DrawList& list, const std::string& start) {
  for (const DrawText& t : all<DrawText>(list)) {
    if (t.text.starts_with(start)) {
      return t;
    }
  }
  return std::nullopt;
}

std::optional<DrawSymbol> symbol(const DrawList& list, const std::string& name) {
  for (const DrawSymbol& s : all<DrawSymbol>(list)) {
    if (s.name == name) {
      return s;
    }
  }
  return std::nullopt;
}

/// The status dot and the two button backgrounds, told apart by their radius.
std::vector<FillCircle> circlesOfRadius(const DrawList& list, double radius) {
  std::vector<FillCircle> found;
  for (const FillCircle& c : all<FillCircle>(list)) {
    if (c.radius == radius) {
      found.push_back(c);
    }
  }
  return found;
}

struct Scene {
  const char* name;
  Widget widget;
  State state;
};
const Scene kScenes[] = {
    {"small stopped", kSmall, State::stopped},   {"small running", kSmall, State::running},
    {"small paused", kSmall, State::paused},     {"medium stopped", kMedium, State::stopped},
    {"medium running", kMedium, State::running}, {"medium paused", kMedium, State::paused},
};

TEST(WidgetLayout, HeaderSitsAtTheTopAndFooterAtTheBottomOfTheContentBox) {
  for (const Scene& s : kScenes) {
    const DrawList list = layOut(s.widget, snapshot(s.state));
    const double right = s.widget.size.width - kMargin;
    const double bottom = s.widget.size.height - kMargin;
    const auto hourglass = symbol(list, "hourglass");
    ASSERT_TRUE(hourglass) << s.name;
    EXPECT_EQ(kMargin, hourglass->box.x) << s.name;
    EXPECT_EQ(kMargin, hourglass->box.y) << s.name;
    const auto title = runStarting(list, "VELTO");
    ASSERT_TRUE(title) << s.name;
    EXPECT_EQ(kMargin, title->box.y) << s.name;

    const auto dots = circlesOfRadius(list, 3);
    ASSERT_EQ(1U, dots.size()) << s.name;
    EXPECT_EQ(right - 3, dots[0].center.x) << s.name;
    EXPECT_DOUBLE_EQ(title->box.center().y, dots[0].center.y) << s.name;

    const auto sun = symbol(list, "sun.max");
    ASSERT_TRUE(sun) << s.name;
    EXPECT_EQ(kMargin, sun->box.x) << s.name;
    // The footer is as tall as its tallest item: the buttons when they show.
    const double footerBottom =
        s.state == State::stopped ? sun->box.maxY() : circlesOfRadius(list, 12).at(0).center.y + 12;
    EXPECT_DOUBLE_EQ(bottom, footerBottom) << s.name;
  }
}

TEST(WidgetLayout, ButtonsAreSoftCirclesWithToggleLeftOfStop) {
  struct Case {
    Widget widget;
    State state;
    const char* toggle;
  };
  const Case cases[] = {{kSmall, State::running, "pause.fill"},
                        {kSmall, State::paused, "play.fill"},
                        {kMedium, State::running, "pause.fill"}};
  for (const Case& c : cases) {
    const DrawList list = layOut(c.widget, snapshot(c.state));
    const double right = c.widget.size.width - kMargin;
    const double bottom = c.widget.size.height - kMargin;
    const Rect stopBox{right - 24, bottom - 24, 24, 24};
    const Rect toggleBox{stopBox.x - kDefaultStackSpacing - 24, stopBox.y, 24, 24};

    const std::vector<LinkRegion> expectedLinks{{toggleBox, "velto://toggle"},
                                                {stopBox, "velto://stop"}};
    EXPECT_EQ(expectedLinks, all<LinkRegion>(list)) << c.toggle;

    const std::vector<FillCircle> expectedCircles{
        {toggleBox.center(), 12, Color::primary().opacity(0.09)},
        {stopBox.center(), 12, Color::primary().opacity(0.09)}};
    EXPECT_EQ(expectedCircles, circlesOfRadius(list, 12)) << c.toggle;

    const auto toggle = symbol(list, c.toggle);
    const auto stop = symbol(list, "stop.fill");
    ASSERT_TRUE(toggle && stop) << c.toggle;
    EXPECT_EQ(toggleBox.center(), toggle->box.center()) << c.toggle;
    EXPECT_EQ(stopBox.center(), stop->box.center()) << c.toggle;
    EXPECT_EQ(Color::primary(), stop->color);
  }
}

TEST(WidgetLayout, StoppedFooterHoldsOnlyTheLabelAtTheLeadingEdge) {
  for (const Widget& widget : {kSmall, kMedium}) {
    const DrawList list = layOut(widget, snapshot(State::stopped));
    EXPECT_TRUE(all<LinkRegion>(list).empty());
    const auto total = runStarting(list, "1h 30m");
    ASSERT_TRUE(total);
    EXPECT_EQ(kMargin + 14, total->box.x);  // symbol and gap at 10 pt
  }
}

TEST(WidgetLayout, ReadoutFitsUnshrunkAtTheLeadingEdge) {
  for (const Widget& widget : {kSmall, kMedium}) {
    const auto readout = runStarting(layOut(widget, snapshot(State::paused)), "00:12:34");
    ASSERT_TRUE(readout);
    EXPECT_EQ(1.0, readout->scale);
    EXPECT_EQ(kMargin, readout->box.x);
  }
}

TEST(WidgetLayout, ProjectLineSitsOnTheReadoutAndSpacersShareTheRest) {
  for (const Scene& s : kScenes) {
    const DrawList list = layOut(s.widget, snapshot(s.state));
    const auto title = runStarting(list, "VELTO");
    const auto project = runStarting(list, "Deep Work");
    const auto readout = runStarting(list, "00:12:34");
    ASSERT_TRUE(title && project && readout) << s.name;
    EXPECT_DOUBLE_EQ(project->box.maxY(), readout->box.y) << s.name;
    const double footerTop = s.state == State::stopped
                                 ? symbol(list, "sun.max")->box.y
                                 : circlesOfRadius(list, 12).at(0).center.y - 12;
    EXPECT_DOUBLE_EQ(project->box.y - title->box.maxY(), footerTop - readout->box.maxY()) << s.name;
  }
}

TEST(WidgetLayout, LongProjectNameTruncatesWithinTheContentWidth) {
  for (const Widget& widget : {kSmall, kMedium}) {
    const std::string name(80, 'x');
    const auto project = runStarting(layOut(widget, snapshot(State::paused, name)), "xxx");
    ASSERT_TRUE(project);
    EXPECT_TRUE(project->text.ends_with("\u2026"));
    EXPECT_EQ(1.0, project->scale);
    EXPECT_LE(project->box.maxX(), widget.size.width - kMargin);
    EXPECT_GT(project->box.maxX(), widget.size.width - kMargin - 13 * 0.6);
  }
}

TEST(WidgetLayout, ProjectNameIsDrawnAsOneLineWithoutControlCharacters) {
  // Which characters break a line or are dropped is OneLineText's (sanitize_test).
  for (const Widget& widget : {kSmall, kMedium}) {
    EXPECT_EQ(layOut(widget, snapshot(State::running, "Deep Work with notes")),
              layOut(widget, snapshot(State::running, "Deep\x1b\x07 Work\u009b\r\nwith notes")));
  }
}

TEST(WidgetLayout, EveryTextLiesInsideTheContentBox) {
  std::string marks = "e";
  for (int i = 0; i < 10'000; ++i) {
    marks += "\u0301";
  }
  for (const std::string& name : {std::string("Deep Work"), marks, std::string(500, 'W')}) {
    for (const Scene& s : kScenes) {
      const DrawList list = layOut(s.widget, snapshot(s.state, name));
      for (const DrawText& text : all<DrawText>(list)) {
        EXPECT_LE(kMargin - 1e-9, text.box.x) << s.name;
        EXPECT_LE(kMargin - 1e-9, text.box.y) << s.name;
        EXPECT_GE(s.widget.size.width - kMargin + 1e-9, text.box.maxX()) << s.name;
        EXPECT_GE(s.widget.size.height - kMargin + 1e-9, text.box.maxY()) << s.name;
      }
    }
  }
}

TEST(WidgetLayout, LongReadoutShrinksToThreeQuartersThenTruncates) {
  struct Case {
    double elapsed;
    const char* start;
    bool truncated;
  };
  // 13 characters of 14.4 pt need 187 pt: 142 is 0.76 of that.
  // 16 characters need 230 pt: at 0.75 they still do not fit.
  const Case cases[] = {{3.6e9, "1000000:00:00", false}, {3.6e12, "1000000000", true}};
  for (const Case& c : cases) {
    const auto readout =
        runStarting(layOut(kSmall, snapshot(State::paused, "p", c.elapsed)), c.start);
    ASSERT_TRUE(readout) << c.start;
    EXPECT_LE(0.75, readout->scale) << c.start;
    EXPECT_GT(1.0, readout->scale) << c.start;
    EXPECT_EQ(c.truncated, readout->text.ends_with("\u2026")) << c.start;
    EXPECT_LE(readout->box.maxX(), 170 - kMargin + 1e-9) << c.start;
  }
}

TEST(WidgetLayout, ContainerBackgroundCoversTheWholeWidget) {
  for (const Widget& widget : {kSmall, kMedium}) {
    const DrawList list = layOut(widget, snapshot(State::running));
    const Rect whole{0, 0, widget.size.width, widget.size.height};
    EXPECT_EQ((PushClip{whole, 20}), std::get<PushClip>(list.commands.at(0)));
    EXPECT_EQ((FillRect{whole, 0, Color::windowBackground()}),
              std::get<FillRect>(list.commands.at(1)));
    const auto& glow = std::get<FillRadialGradient>(list.commands.at(2));
    EXPECT_EQ(whole, glow.rect);
    EXPECT_EQ((Point{widget.size.width, 0}), glow.center);
    EXPECT_EQ(0, glow.startRadius);
    EXPECT_EQ(240, glow.endRadius);
    const std::vector<GradientStop> stops{{0, Color::orange().opacity(0.22)}, {1, Color::clear()}};
    EXPECT_EQ(stops, glow.stops);
  }
}

}  // namespace
}  // namespace velto::host::layout
