#include "host/backends/gtk/accessible.hpp"

#include <gtest/gtest.h>

namespace velto::host::gtk {
namespace {

using Role = AccessibleNode::Role;

/// Runs the default main context until nothing is pending.
void settle() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

AccessibleNode node(Role role, std::string name, std::string url, layout::Rect box,
                    std::string description = "") {
  AccessibleNode made;
  made.role = role;
  made.name = std::move(name);
  made.url = std::move(url);
  made.box = box;
  made.description = std::move(description);
  return made;
}

struct Node {
  explicit Node(AtkObject* o) : object(o) {}
  ~Node() { g_object_unref(object); }
  AtkObject* object;
};

TEST(AccessibleNode, ButtonIsNamedAndItsActionOpensItsLink) {
  std::vector<std::string> pressed;
  const Node button(newAccessibleNode(
      node(Role::button, "Pause", "velto://toggle", {10, 10, 24, 24}, "Pause the timer"), nullptr,
      [&](const std::string& url) { pressed.push_back(url); }));
  EXPECT_EQ(ATK_ROLE_PUSH_BUTTON, atk_object_get_role(button.object));
  EXPECT_STREQ("Pause", atk_object_get_name(button.object));
  EXPECT_STREQ("Pause the timer", atk_object_get_description(button.object));

  AtkAction* action = ATK_ACTION(button.object);
  ASSERT_EQ(1, atk_action_get_n_actions(action));
  EXPECT_STREQ("click", atk_action_get_name(action, 0));
  EXPECT_STREQ("Pause the timer", atk_action_get_description(action, 0));
  EXPECT_FALSE(atk_action_do_action(action, 1));
  ASSERT_TRUE(atk_action_do_action(action, 0));
  EXPECT_TRUE(pressed.empty());  // it opens from the main loop, not inside the call
  settle();
  EXPECT_EQ(std::vector<std::string>{"velto://toggle"}, pressed);
}

TEST(AccessibleNode, TextHasNoActionAndFollowsItsText) {
  int presses = 0;
  const Node text(newAccessibleNode(node(Role::text, "00:12:34", "", {0, 0, 80, 30}), nullptr,
                                    [&](const std::string&) { ++presses; }));
  EXPECT_EQ(ATK_ROLE_LABEL, atk_object_get_role(text.object));
  EXPECT_EQ(0, atk_action_get_n_actions(ATK_ACTION(text.object)));
  EXPECT_FALSE(atk_action_do_action(ATK_ACTION(text.object), 0));

  int renames = 0;
  g_signal_connect_swapped(text.object, "notify::accessible-name",
                           G_CALLBACK(+[](int* count) { ++*count; }), &renames);
  updateAccessibleNode(text.object, node(Role::text, "00:12:35", "", {0, 0, 80, 30}));
  EXPECT_STREQ("00:12:35", atk_object_get_name(text.object));
  updateAccessibleNode(text.object, node(Role::text, "00:12:35", "", {0, 0, 80, 30}));
  EXPECT_EQ(1, renames);  // an unchanged text is not announced again
  settle();
  EXPECT_EQ(0, presses);
}

TEST(AccessibleNode, ExtentsAreTheNodesBoxWithoutAWindow) {
  const Node button(newAccessibleNode(
      node(Role::button, "Stop", "velto://stop", {120, 130, 24, 24}), nullptr, {}));
  gint x = 0;
  gint y = 0;
  gint width = 0;
  gint height = 0;
  atk_component_get_extents(ATK_COMPONENT(button.object), &x, &y, &width, &height, ATK_XY_WINDOW);
  EXPECT_EQ(120, x);
  EXPECT_EQ(130, y);
  EXPECT_EQ(24, width);
  EXPECT_EQ(24, height);
}

TEST(AccessibleNode, ActionOutlivesAButtonDroppedBeforeTheLoopRuns) {
  int presses = 0;
  {
    const Node button(newAccessibleNode(node(Role::button, "Stop", "velto://stop", {}), nullptr,
                                        [&](const std::string&) { ++presses; }));
    ASSERT_TRUE(atk_action_do_action(ATK_ACTION(button.object), 0));
  }
  settle();  // the pending press holds its own reference
  EXPECT_EQ(1, presses);
}

}  // namespace
}  // namespace velto::host::gtk
