#include "host/live/link_opener.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/view.hpp"
#include "tests/support/run_loop.hpp"

namespace velto::host::live {
namespace {

using namespace platform::ui;
using testing::runFor;
using testing::runUntil;
using testing::TestContext;

View link(const std::string& url) {
  return Link(*URL::fromString(url), Image::systemName("stop.fill"));
}

// A footer like the widget's: a label, a spacer and two buttons.
View footerWithButtons() {
  return VStack(
      std::vector<View>{Text::verbatim("Deep Work"),
                        HStack(std::vector<View>{Label(Text::verbatim("1h"), "sun.max"), Spacer(),
                                                 link("velto://toggle"), link("velto://stop")})});
}

class RecordingBackend final : public Backend {
 public:
  void show(const Scene&, platform::foundation::Date) override {}
  void tick(platform::foundation::Date) override {}
  void status(std::string_view message) override { statuses.emplace_back(message); }
  std::vector<std::string> statuses;
};

TEST(LinkDestinations, FindsEveryLinkInOrder) {
  EXPECT_EQ((std::vector<std::string>{"velto://toggle", "velto://stop"}),
            linkDestinations(footerWithButtons()));
}

TEST(LinkDestinations, FindsLinksInsideBackgroundsAndLinks) {
  const View view = Text::verbatim("x").background(
      ZStack(std::vector<View>{Link(*URL::fromString("velto://outer"), link("velto://inner"))}));
  EXPECT_EQ((std::vector<std::string>{"velto://outer", "velto://inner"}), linkDestinations(view));
}

TEST(LinkDestinations, ATreeWithoutLinksOffersNone) {
  EXPECT_TRUE(linkDestinations(Text::verbatim("00:00:00")).empty());
}

TEST(Scene, OffersTheLinksOfItsTreeButNoneOfAPlaceholder) {
  const Scene shown(platform::widgets::WidgetFamily::systemSmall, footerWithButtons());
  EXPECT_EQ((std::vector<std::string>{"velto://toggle", "velto://stop"}), shown.links);
  const Scene placeholder(platform::widgets::WidgetFamily::systemSmall, footerWithButtons(),
                          /*redacted=*/true);
  EXPECT_TRUE(placeholder.links.empty());
}

class LinkOpenerTest : public ::testing::Test {
 protected:
  LinkOpener opener(std::optional<std::string> failure = std::nullopt) {
    return LinkOpener(
        context_.get(),
        [this, failure](const std::string& url) {
          launched_.push_back(url);
          return failure;
        },
        std::chrono::milliseconds(1));
  }

  TestContext context_;
  RecordingBackend backend_;
  std::vector<std::string> launched_;
};

TEST_F(LinkOpenerTest, OpensALinkOnDisplay) {
  LinkOpener links = opener();
  links.offer(linkDestinations(footerWithButtons()));
  EXPECT_TRUE(links.open("velto://toggle", backend_));
  EXPECT_EQ(std::vector<std::string>{"velto://toggle"}, launched_);
  EXPECT_TRUE(backend_.statuses.empty());
}

TEST_F(LinkOpenerTest, RefusesALinkThatIsNotOnDisplay) {
  LinkOpener links = opener();
  links.offer(linkDestinations(Text::verbatim("stopped")));
  EXPECT_FALSE(links.open("velto://toggle", backend_));
  EXPECT_FALSE(links.open("file:///etc/passwd", backend_));
  EXPECT_TRUE(launched_.empty());
  ASSERT_FALSE(backend_.statuses.empty());
}

TEST_F(LinkOpenerTest, AFailureShowsOnTheStatusLineAndThenClears) {
  LinkOpener links = opener("no application handles velto:");
  links.offer(linkDestinations(footerWithButtons()));
  EXPECT_FALSE(links.open("velto://stop", backend_));
  ASSERT_EQ(1u, backend_.statuses.size());
  EXPECT_NE(std::string::npos, backend_.statuses[0].find("velto://stop"));
  EXPECT_NE(std::string::npos, backend_.statuses[0].find("no application handles velto:"));
  ASSERT_TRUE(runUntil(context_.get(), [&] { return backend_.statuses.size() == 2; }));
  EXPECT_EQ("", backend_.statuses[1]);
}

TEST_F(LinkOpenerTest, AMultiLineReasonStaysOnOneLine) {
  LinkOpener links = opener("first\nsecond");
  links.offer(linkDestinations(footerWithButtons()));
  links.open("velto://stop", backend_);
  ASSERT_FALSE(backend_.statuses.empty());
  EXPECT_EQ(std::string::npos, backend_.statuses[0].find('\n'));
}

TEST_F(LinkOpenerTest, AFailureShowsOnlyWhereThePersonClicked) {
  RecordingBackend other;
  LinkOpener links = opener("no handler");
  links.offer(linkDestinations(footerWithButtons()));
  links.open("velto://stop", other);
  links.open("velto://toggle", backend_);
  // The first window's message gives way to the second's rather than linger.
  EXPECT_EQ((std::vector<std::string>{"cannot open velto://stop: no handler", ""}), other.statuses);
  ASSERT_EQ(1U, backend_.statuses.size());
  links.forget(backend_);
  runFor(context_.get(), std::chrono::milliseconds(20));
  EXPECT_EQ(1U, backend_.statuses.size());
}

}  // namespace
}  // namespace velto::host::live
