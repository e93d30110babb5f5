#include "host/backends/terminal/plain_line.hpp"

#include <gtest/gtest.h>

namespace velto::host::terminal {
namespace {

TEST(PlainLine, ReadsTheRowsInOrderWithBlanksSqueezed) {
  CellGrid widget({12, 4});
  widget.putText(1, 0, "VELTO", 12);
  widget.putText(10, 0, "*", 2);
  widget.putText(2, 2, "00:12:34", 10);
  const struct {
    std::string status;
    std::string line;
  } cases[] = {
      {"", "VELTO * | 00:12:34"},
      {"  no  handler ", "VELTO * | 00:12:34 - no handler"},
      // What the status carries cannot steer the terminal or break the line.
      {"a\x1b[2J\nb\u2028c", "VELTO * | 00:12:34 - a\uFFFD[2J\uFFFDb c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.line, plainLine(widget, c.status)) << c.status;
  }
  EXPECT_EQ("alone", plainLine(CellGrid(), "alone"));
  EXPECT_EQ("", plainLine(CellGrid({3, 3}), ""));
}

}  // namespace
}  // namespace velto::host::terminal
