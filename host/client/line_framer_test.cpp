#include "host/client/line_framer.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velto::host {
namespace {

using Kind = FramedLine::Kind;

FramedLine line(std::string text) {
  return {Kind::line, std::move(text)};
}
const FramedLine kTooLong{Kind::tooLong, {}};

std::vector<FramedLine> feedAll(LineFramer& framer, const std::vector<std::string>& chunks) {
  std::vector<FramedLine> all;
  for (const std::string& chunk : chunks) {
    for (FramedLine& found : framer.feed(chunk)) {
      all.push_back(std::move(found));
    }
  }
  return all;
}

TEST(LineFramer, CutsChunksIntoLines) {
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<FramedLine> expected;
    std::size_t buffered;
  };
  // The cap is 8 bytes, so over-long lines stay readable.
  const Case cases[] = {
      {"one line", {"abc\n"}, {line("abc")}, 0},
      {"no newline yet", {"abc"}, {}, 3},
      {"split across chunks", {"a", "b", "c\nd"}, {line("abc")}, 1},
      {"many in one chunk", {"a\nbb\n\nccc\n"}, {line("a"), line("bb"), line(""), line("ccc")}, 0},
      {"crlf", {"ab\r\n", "cd\r", "\n"}, {line("ab"), line("cd")}, 0},
      {"inner cr kept", {"a\rb\n"}, {line("a\rb")}, 0},
      {"exactly the cap", {"12345678\n"}, {line("12345678")}, 0},
      {"the cap and crlf", {"12345678\r\n"}, {line("12345678")}, 0},
      {"one past the cap", {"123456789\n"}, {kTooLong}, 0},
      {"one past the cap, then cr", {"123456789\r\n"}, {kTooLong}, 0},
      {"over-long once, across chunks",
       {"12345", "6789", "0123456789", "\nok\n"},
       {kTooLong, line("ok")},
       0},
      {"lines around an over-long one",
       {"a\n0123456789012\nb\n"},
       {line("a"), kTooLong, line("b")},
       0},
      {"over-long without newline", {"0123456789abcdef"}, {kTooLong}, 0},
  };
  for (const Case& c : cases) {
    LineFramer framer(8);
    EXPECT_EQ(c.expected, feedAll(framer, c.chunks)) << c.name;
    EXPECT_EQ(c.buffered, framer.buffered()) << c.name;
  }
}

TEST(LineFramer, FinishDropsAnUnfinishedLineAndStartsAfresh) {
  LineFramer framer(8);
  EXPECT_TRUE(framer.feed("partial").empty());
  EXPECT_TRUE(framer.finish());
  EXPECT_FALSE(framer.finish());
  EXPECT_EQ(std::vector{line("next")}, framer.feed("next\n"));

  EXPECT_EQ(std::vector{kTooLong}, framer.feed("0123456789"));
  EXPECT_TRUE(framer.finish());
  // The skipped over-long line does not swallow the new stream's first line.
  EXPECT_EQ(std::vector{line("fresh")}, framer.feed("fresh\n"));
}

TEST(LineFramer, TenMebibytesWithoutNewlineStayBoundedAndReportOnce) {
  LineFramer framer;
  const std::string chunk(64 * 1024, 'x');
  int tooLong = 0;
  std::size_t mostBuffered = 0;
  for (int i = 0; i < 160; ++i) {
    for (const FramedLine& found : framer.feed(chunk)) {
      EXPECT_EQ(Kind::tooLong, found.kind);
      ++tooLong;
    }
    mostBuffered = std::max(mostBuffered, framer.buffered());
  }
  EXPECT_EQ(1, tooLong);
  EXPECT_LE(mostBuffered, platform::widgets::kMaxMessageLine + 1);
  EXPECT_EQ(std::vector{line("{}")}, framer.feed("tail\n{}\n"));
}

TEST(LineFramer, AcceptsALineOfExactlyOneMebibyte) {
  LineFramer framer;
  const std::string full(platform::widgets::kMaxMessageLine, 'y');
  const auto found = framer.feed(full + "\n");
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(Kind::line, found[0].kind);
  EXPECT_EQ(full.size(), found[0].text.size());
}

}  // namespace
}  // namespace velto::host
