#include "host/layout/redaction.hpp"

#include <variant>

#include <gtest/gtest.h>

#include "tests/support/widget_frames.hpp"

namespace velto::host::layout {
namespace {

using gtk::testing::State;
using gtk::testing::widgetFrame;

bool contains(const Rect& outer, const Rect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.maxX() <= outer.maxX()
         && inner.maxY() <= outer.maxY();
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
  const auto hidden = redacted(DrawList{{100, 100}, {text}});
  ASSERT_EQ(1u, hidden.commands.size());
  const auto* bar = std::get_if<FillRect>(&hidden.commands[0]);
  ASSERT_NE(nullptr, bar);
  EXPECT_TRUE(contains(text.box, bar->rect));
  EXPECT_EQ(platform::ui::SystemColor::secondary, bar->color.name());
  EXPECT_LT(bar->color.opacity(), 1.0);
}

}  // namespace
}  // namespace velto::host::layout
