#include "extension/view/velto_widget_view.hpp"

#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/elements.hpp"
#include "platform/ui/url.hpp"

namespace velto::view {
namespace {

using namespace platform::ui;
using model::SharedTimerSnapshot;
using platform::foundation::Date;
using platform::widgets::EnvironmentScope;
using platform::widgets::EnvironmentValues;
using platform::widgets::WidgetFamily;
using timeline::VeltoWidgetEntry;
using State = SharedTimerSnapshot::State;

constexpr double kEntryDate = 800'000'000.0;

VeltoWidgetEntry entryWith(State state, std::optional<std::string> project = "Client work",
                           double elapsed = 600, double today = 3540, double sinceUpdate = 120) {
  return {Date(kEntryDate), SharedTimerSnapshot(state, std::move(project), elapsed, today,
                                                Date(kEntryDate - sinceUpdate))};
}

View bodyIn(WidgetFamily family, const VeltoWidgetEntry& entry) {
  const EnvironmentValues environment{family};
  const EnvironmentScope scope(environment);
  return VeltoWidgetView(entry).body();
}

const std::vector<View>& rows(const View& body) {
  return std::get<VStack>(body.element).children;
}
const std::vector<View>& footerItems(const View& body) {
  return std::get<HStack>(rows(body)[5].element).children;
}
const View& dot(const View& body) {
  return std::get<HStack>(rows(body)[0].element).children[2];
}
std::string footerTitle(const View& body) {
  const auto& title = std::get<Label>(footerItems(body)[0].element).title;
  return std::get<Text::Verbatim>(title.content).string;
}

View button(const char* url, const char* symbol) {
  return Link(*URL::fromString(url), Image::systemName(symbol))
      .frame(24, 24, Alignment::center)
      .background(Circle().fill(Color::primary().opacity(0.09)), Alignment::center);
}

TEST(VeltoWidgetView, EmptySnapshotDescribesTheWholeLayout) {
  const VeltoWidgetEntry entry{Date(kEntryDate), SharedTimerSnapshot::empty()};
  const View expected = VStack(
      HorizontalAlignment::leading, 0,
      {
          HStack(VerticalAlignment::center, std::nullopt,
                 {
                     Label(Text::key("VELTO"), "hourglass")
                         .font(Font::system(10, Font::Weight::black, Font::Design::rounded))
                         .tracking(1.1),
                     Spacer(),
                     Circle().fill(Color::secondary().opacity(0.45)).frame(6, 6, Alignment::center),
                 }),
          Spacer(),
          Text::verbatim("Ready to focus")
              .font(Font::system(13, Font::Weight::bold, Font::Design::rounded))
              .lineLimit(1)
              .foregroundStyle(HierarchicalShapeStyle::secondary),
          Text::verbatim("00:00:00")
              .monospacedDigit()
              .font(Font::system(24, Font::Weight::bold, Font::Design::monospaced))
              .minimumScaleFactor(0.75)
              .lineLimit(1),
          Spacer(),
          HStack(VerticalAlignment::center, std::nullopt,
                 {
                     Label(Text::verbatim("0m"), "sun.max")
                         .font(Font::system(10, Font::Weight::semibold, Font::Design::rounded))
                         .foregroundStyle(HierarchicalShapeStyle::secondary),
                     Spacer(),
                 }),
      });
  EXPECT_EQ(expected, bodyIn(WidgetFamily::systemSmall, entry));
}

TEST(VeltoWidgetView, StateDecidesDotButtonsAndTotal) {
  struct Case {
    State state;
    double sinceUpdate;
    Color dot;
    std::vector<View> buttons;
    const char* total;
  };
  const Color idle = Color::secondary().opacity(0.45);
  const Case cases[] = {
      {State::running,
       120,
       Color::green(),
       {button("velto://toggle", "pause.fill"), button("velto://stop", "stop.fill")},
       "1h 1m"},
      {State::paused,
       3600,
       idle,
       {button("velto://toggle", "play.fill"), button("velto://stop", "stop.fill")},
       "59m"},
      {State::stopped, 3600, idle, {}, "59m"},
  };
  for (const Case& c : cases) {
    const View body = bodyIn(WidgetFamily::systemSmall,
                             entryWith(c.state, "Client work", 600, 3540, c.sinceUpdate));
    EXPECT_EQ(Circle().fill(c.dot).frame(6, 6, Alignment::center), dot(body)) << rawValue(c.state);
    const auto& items = footerItems(body);
    ASSERT_EQ(2 + c.buttons.size(), items.size()) << rawValue(c.state);
    EXPECT_EQ(View(Spacer()), items[1]);
    EXPECT_EQ(c.buttons, std::vector<View>(items.begin() + 2, items.end())) << rawValue(c.state);
    EXPECT_EQ(c.total, footerTitle(body)) << rawValue(c.state);
  }
}

TEST(VeltoWidgetView, ProjectLineShowsTheNameVerbatimOrThePrompt) {
  struct Case {
    std::optional<std::string> name;
    std::string shown;
  };
  const Case cases[] = {
      {std::nullopt, "Ready to focus"},
      {"", ""},
      {"VELTO", "VELTO"},  // a name is never a localisation key
      {std::string(300, 'w'), std::string(300, 'w')},
  };
  for (const Case& c : cases) {
    const View body = bodyIn(WidgetFamily::systemSmall, entryWith(State::paused, c.name));
    const View& line = rows(body)[2];
    EXPECT_EQ(Text::verbatim(c.shown), std::get<Text>(line.element));
    EXPECT_EQ(Modifier(LineLimitModifier{1}), line.modifiers.at(1));
  }
}

TEST(VeltoWidgetView, FamiliesDifferOnlyInTheReadoutSize) {
  for (State state : {State::stopped, State::running, State::paused}) {
    const auto entry = entryWith(state);
    const View small = bodyIn(WidgetFamily::systemSmall, entry);
    View medium = bodyIn(WidgetFamily::systemMedium, entry);
    const auto readoutFont = [](const View& body) {
      return std::get<FontModifier>(rows(body)[3].modifiers.at(1)).font;
    };
    EXPECT_EQ(Font::system(24, Font::Weight::bold, Font::Design::monospaced), readoutFont(small));
    EXPECT_EQ(Font::system(30, Font::Weight::bold, Font::Design::monospaced), readoutFont(medium));
    std::get<VStack>(medium.element).children[3].modifiers[1] = rows(small)[3].modifiers[1];
    EXPECT_EQ(small, medium) << rawValue(state);
  }
  // Families the widget does not offer read like medium.
  EXPECT_EQ(bodyIn(WidgetFamily::systemMedium, entryWith(State::running)),
            bodyIn(WidgetFamily::systemLarge, entryWith(State::running)));
}

TEST(VeltoWidgetViewTimerText, RunningCountsFromTheAnchorOtherwiseShowsTheStoredSeconds) {
  struct Case {
    State state;
    double elapsed;
    double sinceUpdate;
    Text expected;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {State::running, 600, 120, Text::timer(Date(kEntryDate - 720))},
      {State::running, 0, 0, Text::timer(Date(kEntryDate))},
      // A negative count puts the anchor ahead; the host shows zero until then.
      {State::running, -30, 0, Text::timer(Date(kEntryDate + 30))},
      // An anchor that is not finite cannot be shown as a clock.
      {State::running, -inf, 0, Text(Text::Timer{std::nullopt})},
      {State::running, 1e308, 1e308, Text(Text::Timer{std::nullopt})},
      {State::paused, 3661.5, 3600, Text::verbatim("01:01:01")},
      {State::stopped, 0, 0, Text::verbatim("00:00:00")},
      {State::stopped, -5, 0, Text::verbatim("00:00:00")},
  };
  for (const Case& c : cases) {
    const View readout =
        VeltoWidgetView(entryWith(c.state, "p", c.elapsed, 0, c.sinceUpdate)).timerText();
    EXPECT_EQ(View(c.expected).monospacedDigit(), readout) << c.elapsed;
  }
}

TEST(VeltoDayTotal, AddsOnlyNonNegativeRunningTime) {
  struct Case {
    State state;
    double today;
    double sinceUpdate;
    double expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {State::running, 3540, 120, 3660},
      {State::running, 3540, -500, 3540},  // update after the entry's date
      {State::running, 3540, nan, 3540},
      {State::paused, 3540, 3600, 3540},
      {State::stopped, 7500, 60, 7500},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, veltoDayTotal(entryWith(c.state, "p", 0, c.today, c.sinceUpdate)))
        << rawValue(c.state) << " " << c.sinceUpdate;
  }
  // Entries a minute apart of one running timeline step the total by a minute.
  auto first = entryWith(State::running, "p", 0, 100, 10);
  const VeltoWidgetEntry second{first.date.addingTimeInterval(60), first.snapshot};
  EXPECT_EQ(60.0, veltoDayTotal(second) - veltoDayTotal(first));
}

}  // namespace
}  // namespace velto::view
