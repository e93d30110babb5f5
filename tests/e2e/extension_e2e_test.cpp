// Drives the real velto-widget-extension through its pipes, as the host does,
// against a snapshot stored with the defaults writer.

#include <string>

#include <gtest/gtest.h>

#include "extension/model/shared_timer_storage.hpp"
#include "extension/model/snapshot_json.hpp"
#include "extension/view/velto_widget_view.hpp"
#include "extension/widget/velto_timer_widget.hpp"
#include "host/live/blocking_extension.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/internal/defaults_test_support.hpp"
#include "platform/ui/archive.hpp"
#include "platform/widgets/environment.hpp"

namespace velto {
namespace {

using model::SharedTimerSnapshot;
using platform::foundation::Date;
using platform::widgets::WidgetFamily;
using Json = nlohmann::json;

platform::foundation::Expected<host::live::BlockingExtension, std::string> startExtension() {
  return host::live::BlockingExtension::start(VELTO_WIDGET_EXTENSION);
}

/// The tree the widget builds for `entry` in `family`, made in this process.
platform::ui::View expectedTree(Date date, const SharedTimerSnapshot& snapshot,
                                WidgetFamily family) {
  const platform::widgets::EnvironmentValues environment{family};
  const platform::widgets::EnvironmentScope scope(environment);
  return view::VeltoWidgetView(timeline::VeltoWidgetEntry{date, snapshot})
      .body()
      .containerBackground(platform::ui::ContainerBackgroundPlacement::widget,
                           platform::ui::Alignment::center, widget::veltoWidgetBackground());
}

TEST(VeltoWidgetExtension, ServesTheStoredSnapshotThroughItsPipes) {
  const platform::foundation::test_support::ScopedConfigHome home;
  const Date now = platform::foundation::SystemClock::shared().now();
  const SharedTimerSnapshot stored(SharedTimerSnapshot::State::running, "Deep Work", 754, 5400,
                                   now.addingTimeInterval(-120));
  const std::string json = *model::encodeSnapshot(stored);
  ASSERT_TRUE(platform::foundation::writeDefaultsData(
      model::SharedTimerStorage::kAppGroupSuiteName, model::SharedTimerStorage::kSnapshotKey,
      std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size())));

  auto client = startExtension();
  ASSERT_TRUE(client.has_value()) << client.error();
  const auto hello = client->ask("initialize", {{"protocolVersion", 1}});
  ASSERT_TRUE(hello) << hello.error();
  EXPECT_EQ(Json::parse(R"({"protocolVersion":1,"widgets":[{"kind":"VeltoTimerWidget",
      "displayName":"Velto Timer","description":"See your active project and control its timer.",
      "supportedFamilies":["systemSmall","systemMedium"]}]})"),
            *hello);

  for (WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium}) {
    const auto timeline = client->ask(
        "timeline",
        {{"kind", "VeltoTimerWidget"}, {"family", platform::widgets::rawValue(family)}});
    ASSERT_TRUE(timeline) << timeline.error();
    const Json& entries = timeline->at("entries");
    ASSERT_EQ(6u, entries.size());
    const double first = entries[0].at("date").get<double>();
    EXPECT_GE(first, now.timeIntervalSinceReferenceDate());
    EXPECT_EQ(Json({{"after", first + 300}}), timeline->at("policy"));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const double date = entries[i].at("date").get<double>();
      EXPECT_EQ(first + 60.0 * static_cast<double>(i), date);
      const auto tree = platform::ui::unarchive(entries[i].at("view"));
      ASSERT_TRUE(tree) << tree.error();
      EXPECT_EQ(expectedTree(Date(date), stored, family), *tree) << "entry " << i;
    }
  }
  EXPECT_EQ("exited with status 0", client->finish());
}

TEST(VeltoWidgetExtension, FallsBackToTheEmptySnapshotAndKeepsServingAfterErrors) {
  const platform::foundation::test_support::ScopedConfigHome home;
  auto client = startExtension();
  ASSERT_TRUE(client.has_value()) << client.error();
  ASSERT_TRUE(client->ask("initialize", {{"protocolVersion", 1}}));
  const auto refused = client->ask("timeline", {{"kind", "VeltoTimerWidget"}});
  ASSERT_FALSE(refused);
  EXPECT_NE(std::string::npos, refused.error().find("missing param 'family'"));

  // A refused request ends the host's connection; a fresh extension answers anew.
  auto again = startExtension();
  ASSERT_TRUE(again.has_value()) << again.error();
  const auto entry = again->ask(
      "snapshot", {{"kind", "VeltoTimerWidget"}, {"family", "systemMedium"}, {"isPreview", true}});
  ASSERT_TRUE(entry) << entry.error();
  const auto tree = platform::ui::unarchive(entry->at("entry").at("view"));
  ASSERT_TRUE(tree) << tree.error();
  const auto& rows = std::get<platform::ui::VStack>(tree->element).children;
  EXPECT_EQ(platform::ui::View(platform::ui::Text::verbatim("Ready to focus")).element,
            rows.at(2).element);
  EXPECT_EQ("exited with status 0", again->finish());
}

}  // namespace
}  // namespace velto
