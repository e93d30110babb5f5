#include "platform/ui/url.hpp"

#include <string_view>

#include <gtest/gtest.h>

namespace platform::ui {
namespace {

TEST(URL, FromStringAcceptsOnlyAbsoluteUrls) {
  struct Case {
    std::string_view text;
    bool valid;
  };
  const Case cases[] = {
      {"velto://toggle", true},
      {"velto://stop", true},
      {"https://example.com/a/b?q=1&r=%20#frag", true},
      {"mailto:someone@example.com", true},
      {"urn:isbn:0451450523", true},
      {"a+b-c.d:x", true},
      {"x:", true},                  // an empty hierarchical part is allowed
      {"http://[::1]:8080/", true},  // an IP literal
      {"", false},
      {"velto", false},  // no scheme: a relative reference
      {"//host/path", false},
      {":nothing", false},
      {"1velto://x", false},  // a scheme starts with a letter
      {"vel_to://x", false},
      {"velto://to ggle", false},   // spaces
      {"velto://toggle\n", false},  // control characters
      {std::string_view("velto://a\0b", 11), false},
      {"velto://caf\xC3\xA9", false},  // non-ASCII bytes must be percent-encoded
      {"velto://%zz", false},
      {"velto://%4", false},
      {"velto://a%", false},
      {"velto://a#b#c", false},  // one fragment at most
      {"velto://<x>", false},
      {"velto://a\\b", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.valid, URL::fromString(c.text).has_value()) << '"' << c.text << '"';
  }
}

TEST(URL, KeepsTheTextAndItsScheme) {
  const auto url = URL::fromString("Velto://toggle");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ("Velto://toggle", url->absoluteString());
  EXPECT_EQ("Velto", url->scheme());
  EXPECT_EQ("mailto", URL::fromString("mailto:a@b")->scheme());
}

}  // namespace
}  // namespace platform::ui
