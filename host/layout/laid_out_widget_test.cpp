#include "host/layout/laid_out_widget.hpp"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extension/view/velto_widget_view.hpp"
#include "extension/widget/velto_timer_widget.hpp"
#include "platform/ui/elements.hpp"
#include "platform/widgets/environment.hpp"
#include "tests/support/fake_text_measurer.hpp"

namespace velto::host::layout {
namespace {

using namespace platform::ui;
using model::SharedTimerSnapshot;
using platform::foundation::Date;
using State = SharedTimerSnapshot::State;

constexpr double kNow = 800'000'000;

/// The widget's own small tree for a snapshot written at kNow.
View widgetTree(State state, double elapsed = 754) {
  const platform::widgets::EnvironmentValues environment{
      platform::widgets::WidgetFamily::systemSmall};
  const platform::widgets::EnvironmentScope scope(environment);
  const SharedTimerSnapshot snapshot(state, "Deep Work", elapsed, 5400, Date(kNow));
  return view::VeltoWidgetView(timeline::VeltoWidgetEntry{Date(kNow), snapshot})
      .body()
      .containerBackground(ContainerBackgroundPlacement::widget, Alignment::center,
                           widget::veltoWidgetBackground());
}

WidgetCanvas canvasAt(double instant) {
  return WidgetCanvas{{170, 170}, 14, 20, Date(instant)};
}

LaidOutWidget laidOut(const View& tree, double instant, const TextMeasurer& measurer) {
  auto widget = LaidOutWidget::make(tree, canvasAt(instant), measurer);
  EXPECT_TRUE(widget.has_value());
  return std::move(*widget);
}

std::vector<std::string> texts(const DrawList& list) {
  std::vector<std::string> found;
  for (const DrawCommand& command : list.commands) {
    if (const auto* text = std::get_if<DrawText>(&command)) {
      found.push_back(text->text);
    }
  }
  return found;
}

TEST(LaidOutWidget, IsTheLayoutOfItsTreeAtItsInstant) {
  const FakeTextMeasurer measurer;
  const View tree = widgetTree(State::running);
  const LaidOutWidget widget = laidOut(tree, kNow, measurer);
  EXPECT_EQ(*layoutWidget(tree, canvasAt(kNow), measurer), widget.drawList());
  EXPECT_EQ(Date(kNow), widget.instant());
}

TEST(LaidOutWidget, OnlyARunningTimerTicks) {
  const FakeTextMeasurer measurer;
  EXPECT_TRUE(laidOut(widgetTree(State::running), kNow, measurer).hasLiveTimer());
  EXPECT_FALSE(laidOut(widgetTree(State::paused), kNow, measurer).hasLiveTimer());
  EXPECT_FALSE(laidOut(widgetTree(State::stopped), kNow, measurer).hasLiveTimer());
  // A timer without a usable anchor shows a fixed placeholder.
  EXPECT_FALSE(laidOut(Text(Text::Timer{std::nullopt}), kNow, measurer).hasLiveTimer());
}

TEST(LaidOutWidget, LinksAreTheButtonsShown) {
  const FakeTextMeasurer measurer;
  const std::vector<LinkRegion> running =
      laidOut(widgetTree(State::running), kNow, measurer).links();
  ASSERT_EQ(2U, running.size());
  EXPECT_EQ("velto://toggle", running[0].url);
  EXPECT_EQ("velto://stop", running[1].url);
  EXPECT_LT(running[0].rect.maxX(), running[1].rect.x);
  EXPECT_TRUE(laidOut(widgetTree(State::stopped), kNow, measurer).links().empty());
}

TEST(LaidOutWidget, ATickRedrawsOnlyTheReadoutAndMeasuresNothingElse) {
  const FakeTextMeasurer measurer;
  LaidOutWidget widget = laidOut(widgetTree(State::running), kNow, measurer);
  const DrawList before = widget.drawList();

  const std::vector<Rect> dirty = widget.advanceTimers(Date(kNow + 1), measurer);
  // Of the texts, only the new readout went to the measurer again.
  EXPECT_EQ(1, measurer.calls("00:12:35", 24));
  EXPECT_EQ(1, measurer.calls("Deep Work", 13));

  // The readout's box alone in the same layout, and the list is what a fresh
  // layout then draws.
  ASSERT_EQ(1U, dirty.size());
  EXPECT_EQ(1U, widget.layoutCount());
  const DrawList fresh = *layoutWidget(widgetTree(State::running), canvasAt(kNow + 1), measurer);
  EXPECT_EQ(fresh, widget.drawList());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < before.commands.size(); ++i) {
    if (before.commands[i] != widget.drawList().commands[i]) {
      ++differing;
      const auto& text = std::get<DrawText>(widget.drawList().commands[i]);
      EXPECT_EQ("00:12:35", text.text);
      EXPECT_EQ(text.box, dirty[0]);
    }
  }
  EXPECT_EQ(1U, differing);
}

TEST(LaidOutWidget, ATickWithinTheSameSecondChangesNothing) {
  const FakeTextMeasurer measurer;
  LaidOutWidget widget = laidOut(widgetTree(State::running), kNow, measurer);
  EXPECT_TRUE(widget.advanceTimers(Date(kNow + 0.5), measurer).empty());
  EXPECT_TRUE(laidOut(widgetTree(State::paused), kNow, measurer)
                  .advanceTimers(Date(kNow + 60), measurer)
                  .empty());
}

TEST(LaidOutWidget, AReadoutThatWidensLaysTheWidgetOutAnew) {
  const FakeTextMeasurer measurer;
  // 99:59:59 becomes 100:00:00 a second later.
  const double elapsed = 100 * 3600 - 1;
  LaidOutWidget widget = laidOut(widgetTree(State::running, elapsed), kNow, measurer);
  const unsigned layouts = widget.layoutCount();
  const std::vector<Rect> dirty = widget.advanceTimers(Date(kNow + 1), measurer);
  ASSERT_EQ(1U, dirty.size());
  EXPECT_EQ((Rect{0, 0, 170, 170}), dirty[0]);
  EXPECT_NE(layouts, widget.layoutCount());
  EXPECT_EQ(*layoutWidget(widgetTree(State::running, elapsed), canvasAt(kNow + 1), measurer),
            widget.drawList());
  const std::vector<std::string> shown = texts(widget.drawList());
  EXPECT_NE(shown.end(), std::find(shown.begin(), shown.end(), "100:00:00"));
}

TEST(LaidOutWidget, TimerTitlesOfLabelsTickToo) {
  const FakeTextMeasurer measurer;
  const View tree = Label(Text::timer(Date(0)), "hourglass").font(Font::system(10));
  LaidOutWidget widget = laidOut(tree, 5, measurer);
  EXPECT_TRUE(widget.hasLiveTimer());
  ASSERT_EQ(1U, widget.advanceTimers(Date(6), measurer).size());
  EXPECT_EQ(std::vector<std::string>{"00:00:06"}, texts(widget.drawList()));
}

}  // namespace
}  // namespace velto::host::layout
