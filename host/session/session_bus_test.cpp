#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "host/session/probe_run.hpp"
#include "host/session/session_host.hpp"
#include "tests/support/run_loop.hpp"

namespace velto::host::session {
namespace {

using live::testing::runUntil;
using testing::runProbe;
using testing::ScopedEnvironment;

constexpr const char* kTestId = "app.velto.WidgetHostTest";

class SessionBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char* daemon = g_find_program_in_path("dbus-daemon");
    const bool found = daemon != nullptr;
    g_free(daemon);
    if (!found) {
      GTEST_SKIP() << "needs dbus-daemon for a private session bus";
    }
    bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus_);
    // After the bus is up, which clears the variable.
    char folder[] = "/tmp/velto-session-XXXXXX";
    runtime_ = ::mkdtemp(folder);
    runtimeVariable_.emplace("XDG_RUNTIME_DIR", runtime_.c_str());
  }
  void TearDown() override {
    host_.reset();
    if (bus_ != nullptr) {
      g_test_dbus_down(bus_);
      g_object_unref(bus_);
    }
    if (!runtime_.empty()) {
      std::filesystem::remove_all(runtime_);
    }
  }

  /// An address where no bus listens.
  std::string deadBus() const { return "unix:path=" + (runtime_ / "no-bus").string(); }

  /// Claims the session in this process, which must become its host.
  void becomeHost() {
    auto claim = claimSession(kTestId, {}, handlers());
    ASSERT_TRUE(claim.has_value()) << claim.error();
    ASSERT_TRUE(std::holds_alternative<SessionHost>(*claim));
    host_.emplace(std::get<SessionHost>(std::move(*claim)));
    ASSERT_EQ(SessionChannel::sessionBus, host_->channel());
  }

  SessionHandlers handlers() {
    return {.requested = [this](const HostRequest& request) { requests_.push_back(request); },
            .refused = [this](std::string_view why) { refusals_.emplace_back(why); }};
  }

  std::filesystem::path runtime_;
  std::optional<ScopedEnvironment> runtimeVariable_;
  GTestDBus* bus_ = nullptr;
  std::optional<SessionHost> host_;
  std::vector<HostRequest> requests_;
  std::vector<std::string> refusals_;
};

TEST_F(SessionBusTest, ALaterLaunchIsToldAndTheHostHearsItsPlacement) {
  becomeHost();
  EXPECT_EQ("told session-bus\n",
            runProbe({kTestId, "--family", "medium", "--position", "bottom-left"}));
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  const std::vector<HostRequest> expected{
      HostRequest{{"--family", "medium", "--position", "bottom-left"}}};
  EXPECT_EQ(expected, requests_);
  EXPECT_TRUE(refusals_.empty());
}

TEST_F(SessionBusTest, ALaunchWithoutPlacementAsksForARereadOnly) {
  becomeHost();
  EXPECT_EQ("told session-bus\n", runProbe({kTestId}));
  EXPECT_EQ("told session-bus\n", runProbe({kTestId, "--family", "small"}));
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return requests_.size() == 2; }));
  const std::vector<HostRequest> expected{HostRequest{}, HostRequest{{"--family", "small"}}};
  EXPECT_EQ(expected, requests_);
}

TEST_F(SessionBusTest, RequestsArriveWhileAPlainMainLoopRuns) {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  auto claim = claimSession(kTestId, {},
                            {.requested =
                                 [&](const HostRequest& request) {
                                   requests_.push_back(request);
                                   g_main_loop_quit(loop);
                                 },
                             .refused = {}});
  ASSERT_TRUE(claim.has_value()) << claim.error();
  ASSERT_TRUE(std::holds_alternative<SessionHost>(*claim));
  const testing::Probe probe({kTestId, "--margin", "8"});
  // Only a guard against a hang: the request ends the loop.
  GSource* guard = g_timeout_source_new_seconds(20);
  g_source_set_callback(
      guard,
      [](gpointer data) {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return G_SOURCE_REMOVE;
      },
      loop, nullptr);
  g_source_attach(guard, nullptr);
  g_main_loop_run(loop);
  g_source_destroy(guard);
  g_source_unref(guard);
  const std::vector<HostRequest> expected{HostRequest{{"--margin", "8"}}};
  EXPECT_EQ(expected, requests_);
  g_main_loop_unref(loop);
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return probe.ended(); }));
  EXPECT_EQ("told session-bus\n", probe.out());
}

TEST_F(SessionBusTest, ALaunchAfterTheHostEndsBecomesTheHost) {
  becomeHost();
  host_.reset();
  EXPECT_EQ("primary session-bus\n", runProbe({kTestId}));
}

TEST_F(SessionBusTest, ALaunchThatCannotReachTheBusFindsTheHostInTheRuntimeFolder) {
  becomeHost();
  std::string out;
  {
    const ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", deadBus().c_str());
    const testing::Probe probe({kTestId, "--family", "large"});
    ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return probe.ended(); }));
    out = probe.out();
  }
  EXPECT_EQ("told runtime-folder\n", out);
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  const std::vector<HostRequest> expected{HostRequest{{"--family", "large"}}};
  EXPECT_EQ(expected, requests_);
}

TEST_F(SessionBusTest, ALaunchOnTheBusTellsAHostThatHadNoBus) {
  {
    const ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", deadBus().c_str());
    auto claim = claimSession(kTestId, {}, handlers());
    ASSERT_TRUE(claim.has_value()) << claim.error();
    ASSERT_TRUE(std::holds_alternative<SessionHost>(*claim));
    host_.emplace(std::get<SessionHost>(std::move(*claim)));
    ASSERT_EQ(SessionChannel::runtimeFolder, host_->channel());
  }
  // The second finds the name free again: the first let it go.
  EXPECT_EQ("told runtime-folder\n", runProbe({kTestId, "--margin", "2"}));
  EXPECT_EQ("told runtime-folder\n", runProbe({kTestId}));
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return requests_.size() == 2; }));
  const std::vector<HostRequest> expected{HostRequest{{"--margin", "2"}}, HostRequest{}};
  EXPECT_EQ(expected, requests_);
}

TEST_F(SessionBusTest, ActivatingTheApplicationAsksForARereadOnly) {
  becomeHost();
  GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(nullptr, connection);
  g_dbus_connection_call(connection, kTestId, "/app/velto/WidgetHostTest", "org.gtk.Application",
                         "Activate", g_variant_new("(a{sv})", nullptr), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  g_object_unref(connection);
  const std::vector<HostRequest> expected{HostRequest{}};
  EXPECT_EQ(expected, requests_);
}

TEST_F(SessionBusTest, TheHostIgnoresMalformedActivations) {
  becomeHost();
  GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(nullptr, connection);
  const auto activate = [&](GVariant* parameter) {
    GVariantBuilder parameters;
    g_variant_builder_init(&parameters, G_VARIANT_TYPE("av"));
    if (parameter != nullptr) {
      g_variant_builder_add(&parameters, "v", parameter);
    }
    g_dbus_connection_call(connection, kTestId, "/app/velto/WidgetHostTest", "org.gtk.Actions",
                           "Activate", g_variant_new("(sava{sv})", "request", &parameters, nullptr),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  };
  std::vector<const char*> tooMany(kMaxRequestArguments + 1, "x");
  activate(g_variant_new_strv(tooMany.data(), static_cast<gssize>(tooMany.size())));
  const std::string tooLong(kMaxRequestBytes, 'a');
  const char* longOne[] = {tooLong.c_str()};
  activate(g_variant_new_strv(longOne, 1));
  const char* fine[] = {"--family", "large"};
  activate(g_variant_new_strv(fine, 2));
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  g_object_unref(connection);
  const std::vector<HostRequest> expected{HostRequest{{"--family", "large"}}};
  EXPECT_EQ(expected, requests_);
  EXPECT_EQ(2U, refusals_.size());
}

}  // namespace
}  // namespace velto::host::session
