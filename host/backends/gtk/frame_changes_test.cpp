#include "host/backends/gtk/frame_changes.hpp"

#include <variant>

#include <gtest/gtest.h>

#include "host/backends/gtk/widget_frames_for_test.hpp"

namespace velto::host::gtk {
namespace {

using layout::DrawText;
using layout::Rect;
using testing::kNow;
using testing::State;
using testing::widgetFrame;

/// The box of the text that reads `text`, if the frame shows it.
std::optional<Rect> boxOf(const layout::DrawList& list, std::string_view text) {
  for (const auto& command : list.commands) {
    if (const auto* line = std::get_if<DrawText>(&command); line && line->text == text) {
      return line->box;
    }
  }
  return std::nullopt;
}

bool contains(const Rect& outer, const Rect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.maxX() <= outer.maxX()
         && inner.maxY() <= outer.maxY();
}

TEST(ChangedBoxes, RunningTimerChangesOnlyTheReadoutFromOneSecondToTheNext) {
  const auto before = widgetFrame(State::running, kNow);
  const auto after = widgetFrame(State::running, kNow + 1);
  const auto readout = boxOf(before, "00:12:34");
  ASSERT_TRUE(readout.has_value());
  ASSERT_TRUE(boxOf(after, "00:12:35").has_value());

  const auto boxes = changedBoxes(before, after);
  ASSERT_TRUE(boxes.has_value());
  ASSERT_FALSE(boxes->empty());
  const auto area = unite(*boxes);
  ASSERT_TRUE(area.has_value());
  EXPECT_TRUE(contains(*area, *readout));
  // Far less than the widget: the header, footer and background stay as they are.
  EXPECT_LT(area->width * area->height, 170.0 * 170.0 / 4);
  const auto header = boxOf(before, "VELTO");
  ASSERT_TRUE(header.has_value());
  EXPECT_FALSE(contains(*area, *header));
}

TEST(ChangedBoxes, PausedTimerChangesNothing) {
  const auto boxes =
      changedBoxes(widgetFrame(State::paused, kNow), widgetFrame(State::paused, kNow + 1));
  ASSERT_TRUE(boxes.has_value());
  EXPECT_TRUE(boxes->empty());
}

TEST(ChangedBoxes, AnotherLayoutAsksForEverything) {
  EXPECT_EQ(std::nullopt, changedBoxes(widgetFrame(State::running), widgetFrame(State::stopped)));
  auto resized = widgetFrame(State::running);
  resized.size.width += 1;
  EXPECT_EQ(std::nullopt, changedBoxes(widgetFrame(State::running), resized));
}

TEST(ChangedBoxes, MovedClipAsksForEverything) {
  layout::DrawList before{{100, 100}, {layout::PushClip{{0, 0, 100, 100}, 20}, layout::PopClip{}}};
  auto after = before;
  std::get<layout::PushClip>(after.commands[0]).cornerRadius = 10;
  EXPECT_EQ(std::nullopt, changedBoxes(before, after));
}

TEST(ChangedBoxes, MovedTextReportsOldAndNewBox) {
  DrawText text{{10, 10, 20, 10}, "a", {}, platform::ui::Color::primary(), 1};
  layout::DrawList before{{100, 100}, {text}};
  text.box.x = 50;
  layout::DrawList after{{100, 100}, {text}};
  const auto boxes = changedBoxes(before, after);
  ASSERT_TRUE(boxes.has_value());
  ASSERT_EQ(2u, boxes->size());
  EXPECT_EQ((Rect{10, 10, 60, 10}), unite(*boxes));
}

TEST(Unite, NothingFromNothing) {
  EXPECT_EQ(std::nullopt, unite({}));
}

TEST(Redacted, TextsBecomeBarsAndEverythingElseStays) {
  const auto frame = widgetFrame(State::running);
  const auto hidden = redacted(frame);
  std::size_t texts = 0;
  std::size_t others = 0;
  for (const auto& command : frame.commands) {
    (std::holds_alternative<DrawText>(command) ? texts : others) += 1;
  }
  ASSERT_GT(texts, 0u);
  std::size_t hiddenOthers = 0;
  for (const auto& command : hidden.commands) {
    EXPECT_FALSE(std::holds_alternative<DrawText>(command));
    hiddenOthers += 1;
  }
  EXPECT_EQ(others + texts, hiddenOthers);
  EXPECT_EQ(frame.size, hidden.size);
}

TEST(Redacted, BarSitsInsideItsTextsBox) {
  const DrawText text{{10, 10, 40, 20}, "Deep Work", {}, platform::ui::Color::secondary(), 1};
  const auto hidden = redacted(layout::DrawList{{100, 100}, {text}});
  ASSERT_EQ(1u, hidden.commands.size());
  const auto* bar = std::get_if<layout::FillRect>(&hidden.commands[0]);
  ASSERT_NE(nullptr, bar);
  EXPECT_TRUE(contains(text.box, bar->rect));
  EXPECT_EQ(platform::ui::SystemColor::secondary, bar->color.name());
  EXPECT_LT(bar->color.opacity(), 1.0);
}

}  // namespace
}  // namespace velto::host::gtk
