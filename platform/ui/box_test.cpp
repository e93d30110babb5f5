#include "platform/ui/box.hpp"

#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace platform::ui {
namespace {

TEST(Box, CopiesAreDeep) {
  Box<std::string> original(std::string("hourglass"));
  Box<std::string> copy = original;
  *copy = "sun.max";
  EXPECT_EQ("hourglass", *original);
  EXPECT_EQ("sun.max", *copy);

  Box<std::string> assigned(std::string("x"));
  assigned = original;
  *original = "changed";
  EXPECT_EQ("hourglass", *assigned);
}

TEST(Box, EqualityComparesHeldValues) {
  EXPECT_EQ(Box<std::string>(std::string("a")), Box<std::string>(std::string("a")));
  EXPECT_NE(Box<std::string>(std::string("a")), Box<std::string>(std::string("b")));
}

TEST(Box, MovedFromBoxIsValuelessUntilAssigned) {
  Box<std::string> source(std::string("a"));
  Box<std::string> target = std::move(source);
  EXPECT_EQ("a", *target);
  ASSERT_TRUE(source.valuelessAfterMove());  // NOLINT(bugprone-use-after-move)
  EXPECT_NE(target, source);

  Box<std::string> copyOfEmpty = source;
  EXPECT_TRUE(copyOfEmpty.valuelessAfterMove());
  EXPECT_EQ(source, copyOfEmpty);

  source = target;
  EXPECT_FALSE(source.valuelessAfterMove());
  EXPECT_EQ(target, source);
}

}  // namespace
}  // namespace platform::ui
