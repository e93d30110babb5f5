#include "platform/foundation/internal/xml_duplicate_keys.hpp"

#include <gtest/gtest.h>

#include "platform/foundation/internal/defaults_test_support.hpp"

namespace platform::foundation::internal {
namespace {

using test_support::xmlDomain;

TEST(XmlPlistHasDuplicateKey, ComparesKeysAsTextWithinOneDictionary) {
  const struct {
    const char* body;
    bool duplicate;
  } cases[] = {
      {"<key>a</key><true/><key>b</key><true/>", false},
      {"<key>a</key><true/><key>a</key><false/>", true},
      {"<key>a&amp;b</key><true/><key>a&#38;b</key><true/>", true},
      {"<key>a</key><true/><key>&#x61;</key><true/>", true},
      {"<key><![CDATA[x</key>]]></key><true/><key>x&lt;/key&gt;</key><true/>", true},
      {"<key>A</key><true/><key>a</key><true/>", false},
      {"<key>a</key><dict><key>a</key><true/></dict>", false},
      {"<key>d</key><dict><key>x</key><true/><key>x</key><true/></dict>", true},
      {"<key>l</key><array><dict><key>x</key><true/></dict><dict><key>x</key><true/></dict>"
       "</array>",
       false},
      {"<key>e</key><dict/><key>f</key><dict/>", false},
      {"<!-- <key>a</key> --><key>a</key><true/>", false},
      {"<key>s</key><string>&lt;key&gt;s&lt;/key&gt;</string>", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.duplicate, xmlPlistHasDuplicateKey(xmlDomain(c.body))) << c.body;
  }
}

}  // namespace
}  // namespace platform::foundation::internal
