#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/printable_text.hpp"

namespace platform::foundation {
namespace {

TEST(PrintableText, ShowsWhatWouldBreakOrRestyleTheLineEscaped) {
  struct Case {
    std::string text;
    std::string printable;
  };
  const Case cases[] = {
      {"unknown family", "unknown family"},
      {"\x1b[31mred\x1b[0m", "\\u001b[31mred\\u001b[0m"},
      {"one\ntwo\r\n", "one\\ntwo\\r\\n"},
      {"tab\there", "tab\\there"},
      {"a\\nb", "a\\\\nb"},
      {"bad \xFF byte", "bad \xEF\xBF\xBD byte"},
      {"line\xE2\x80\xA8sep", "line\\u2028sep"},
      {"next\xC2\x85line", "next\\u0085line"},
      {"\xE2\x80\xAEreversed", "\\u202ereversed"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {std::string("nul\0end", 7), "nul\\u0000end"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.printable, printableText(c.text)) << c.text;
  }
}

TEST(PrintableText, CutsLongTextAtACharacterBoundary) {
  EXPECT_EQ("abc\xE2\x80\xA6", printableText("abcdef", 3));
  EXPECT_EQ("abc", printableText("abc", 3));
  // The two-byte é does not fit after "ab" in three bytes, and is not split.
  EXPECT_EQ("ab\xE2\x80\xA6", printableText("ab\xC3\xA9", 3));
  // Nor is an escape split.
  EXPECT_EQ("a\xE2\x80\xA6", printableText("a\n", 2));
}

TEST(PrintableText, HalfAMegabyteOfEscapesBecomesOneShortLine) {
  const std::string hostile(500 * 1024, '\x1b');
  const std::string printable = printableText(hostile);
  EXPECT_LE(printable.size(), kMaxPrintableBytes + 3);
  EXPECT_EQ(std::string::npos, printable.find('\x1b'));
  EXPECT_EQ(std::string::npos, printable.find('\n'));
}

}  // namespace
}  // namespace platform::foundation
