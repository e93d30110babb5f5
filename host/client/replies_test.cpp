#include "host/client/replies.hpp"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/timeline_entries.hpp"

namespace velto::host {
namespace {

using platform::foundation::Date;
using platform::ui::Text;
using platform::ui::View;
using platform::widgets::TimelineReloadPolicy;
using platform::widgets::WidgetFamily;
using platform::widgets::protocol::EntryMessage;
using test_support::entryAt;
using test_support::entryJson;
using Json = nlohmann::json;

TEST(DecodeTimeline, ReadsEntriesInOrderAndEachPolicy) {
  const View first = Text::verbatim("first");
  const View second = Text::timer(Date(10));
  struct Case {
    Json policy;
    TimelineReloadPolicy expected;
  };
  const Case cases[] = {
      {{{"after", 300.5}}, TimelineReloadPolicy::after(Date(300.5))},
      {{{"atEnd", true}}, TimelineReloadPolicy::atEnd()},
      {{{"never", true}}, TimelineReloadPolicy::never()},
  };
  for (const Case& c : cases) {
    const Json result = {{"entries", {entryJson(0.0, first), entryJson(60.0, second)}},
                         {"policy", c.policy}};
    auto decoded = decodeTimeline(result);
    ASSERT_TRUE(decoded.has_value()) << decoded.error();
    EXPECT_EQ((std::vector<EntryMessage>{entryAt(0, first), entryAt(60, second)}),
              decoded->entries);
    EXPECT_EQ(c.expected, decoded->policy) << c.policy.dump();
  }
}

TEST(DecodeTimeline, RefusesWhatIsNotATimeline) {
  const Json good = entryJson(0.0, Text::verbatim("x"));
  const Json never = {{"never", true}};
  const Json cases[] = {
      Json::array(),
      {{"policy", never}},
      {{"entries", Json::object()}, {"policy", never}},
      {{"entries", Json::array()}},
      {{"entries", Json::array()}, {"policy", {{"atEnd", false}}}},
      {{"entries", Json::array()}, {"policy", {{"after", "soon"}}}},
      {{"entries", Json::array()}, {"policy", {{"after", 1.0}, {"never", true}}}},
      {{"entries", Json::array()}, {"policy", {{"sometimes", true}}}},
      {{"entries", {good, 5}}, {"policy", never}},
      {{"entries", {{{"view", good["view"]}}}}, {"policy", never}},
      {{"entries", {{{"date", "today"}, {"view", good["view"]}}}}, {"policy", never}},
      {{"entries", {{{"date", 1.0}}}}, {"policy", never}},
      {{"entries", {{{"date", 1.0}, {"view", {{"version", 2}, {"root", nullptr}}}}}},
       {"policy", never}},
  };
  for (const Json& c : cases) {
    auto decoded = decodeTimeline(c);
    ASSERT_FALSE(decoded.has_value()) << c.dump();
    // One line for the log that says which answer was off.
    EXPECT_EQ(0u, decoded.error().find("the answer to 'timeline' ")) << decoded.error();
    EXPECT_EQ(std::string::npos, decoded.error().find('\n')) << decoded.error();
  }
}

TEST(DecodeEntryResult, ReadsTheEntryAndRefusesAnythingElse) {
  const View view = Text::key("VELTO");
  auto decoded = decodeEntryResult({{"entry", entryJson(42.0, view)}});
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  EXPECT_EQ(entryAt(42, view), *decoded);

  EXPECT_FALSE(decodeEntryResult(Json::array()).has_value());
  EXPECT_FALSE(decodeEntryResult({{"entry", nullptr}}).has_value());
  EXPECT_FALSE(decodeEntryResult({{"entries", {entryJson(1.0, view)}}}).has_value());
}

TEST(DecodeInitialize, ReadsTheWidgets) {
  const Json result = {{"protocolVersion", 1},
                       {"widgets",
                        {{{"kind", "K"},
                          {"displayName", "Name"},
                          {"description", "Text"},
                          {"supportedFamilies", {"systemSmall", "systemMedium"}}}}}};
  auto decoded = decodeInitialize(result);
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  EXPECT_EQ((std::vector<WidgetDescription>{
                {"K", "Name", "Text", {WidgetFamily::systemSmall, WidgetFamily::systemMedium}}}),
            decoded->widgets);

  for (const char* broken :
       {R"({"protocolVersion":2,"widgets":[]})", R"({"protocolVersion":1.0,"widgets":[]})",
        R"({"protocolVersion":1})", R"({"protocolVersion":1,"widgets":[{"kind":"K"}]})",
        R"({"protocolVersion":1,"widgets":[{"kind":"K","displayName":"N",
                                 "description":"D","supportedFamilies":["systemHuge"]}]})"}) {
    EXPECT_FALSE(decodeInitialize(Json::parse(broken)).has_value()) << broken;
  }
}

TEST(WidgetParams, NameTheKindAndTheFamilyAsTheExtensionReadsThem) {
  EXPECT_EQ((Json{{"kind", "K"}, {"family", "systemMedium"}}),
            widgetParams("K", WidgetFamily::systemMedium));
  EXPECT_EQ((Json{{"protocolVersion", 1}}), initializeParams());
}

}  // namespace
}  // namespace velto::host
