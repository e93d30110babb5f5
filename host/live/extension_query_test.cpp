#include "host/live/extension_query.hpp"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace velto::host::live {
namespace {

using platform::widgets::WidgetFamily;

// Runs the fake extension in `mode` for one test.
class ExtensionQueryTest : public ::testing::Test {
 protected:
  ~ExtensionQueryTest() override { ::unsetenv("VELTO_FAKE_MODE"); }
  platform::foundation::Expected<ExtensionQuery, std::string> start(const char* mode) {
    ::setenv("VELTO_FAKE_MODE", mode, 1);
    return ExtensionQuery::start(VELTO_FAKE_EXTENSION);
  }
};

TEST_F(ExtensionQueryTest, AsksForTheWidgetItsPlaceholderAndItsTimeline) {
  auto query = start("normal");
  ASSERT_TRUE(query.has_value()) << query.error();
  EXPECT_EQ("FakeWidget", query->widget().kind);
  const auto placeholder = query->placeholder(WidgetFamily::systemSmall);
  ASSERT_TRUE(placeholder.has_value()) << placeholder.error();
  const auto timeline = query->timeline(WidgetFamily::systemMedium);
  ASSERT_TRUE(timeline.has_value()) << timeline.error();
  EXPECT_EQ(1u, timeline->entries.size());
}

struct Failing {
  const char* mode;
  const char* says;
};

class ExtensionQueryFailure : public ExtensionQueryTest,
                              public ::testing::WithParamInterface<Failing> {};

TEST_P(ExtensionQueryFailure, SaysWhyInOneLine) {
  auto query = start(GetParam().mode);
  std::string error;
  if (!query) {
    error = query.error();
  } else {
    const auto timeline = query->timeline(WidgetFamily::systemSmall);
    ASSERT_FALSE(timeline.has_value());
    error = timeline.error();
  }
  EXPECT_NE(std::string::npos, error.find(GetParam().says)) << error;
  EXPECT_EQ(std::string::npos, error.find('\n')) << error;
}

INSTANTIATE_TEST_SUITE_P(ExtensionQuery, ExtensionQueryFailure,
                         ::testing::Values(Failing{"crash-start", "killed by signal"},
                                           Failing{"hang", "no reply within 2000 ms"},
                                           Failing{"garbage", "no answer to 'timeline'"},
                                           Failing{"huge-line", "longer than the protocol allows"},
                                           Failing{"eof-early", "exited with status 0"}));

TEST(ExtensionQueryStart, SaysWhenTheProgramCannotRun) {
  const auto query = ExtensionQuery::start("/nonexistent/velto-widget-extension");
  ASSERT_FALSE(query.has_value());
  EXPECT_NE(std::string::npos, query.error().find("/nonexistent/velto-widget-extension"));
}

}  // namespace
}  // namespace velto::host::live
