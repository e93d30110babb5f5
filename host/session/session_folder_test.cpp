#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "host/session/probe_run.hpp"
#include "host/session/session_host.hpp"
#include "tests/support/run_loop.hpp"

namespace velto::host::session {
namespace {

namespace fs = std::filesystem;
using live::testing::runUntil;
using testing::runProbe;
using testing::ScopedEnvironment;

constexpr const char* kTestId = "app.velto.WidgetHostTest";

/// A session without a bus: none named, or one named that is not there.
class SessionFolderTest : public ::testing::TestWithParam<bool> {
 protected:
  SessionFolderTest() {
    char folder[] = "/tmp/velto-session-XXXXXX";
    runtime_ = ::mkdtemp(folder);
    runtimeVariable_.emplace("XDG_RUNTIME_DIR", runtime_.c_str());
    const std::string deadBus = "unix:path=" + (runtime_ / "no-bus").string();
    busVariable_.emplace("DBUS_SESSION_BUS_ADDRESS", GetParam() ? deadBus.c_str() : nullptr);
  }
  ~SessionFolderTest() override {
    host_.reset();
    fs::remove_all(runtime_);
  }

  fs::path socketPath() const { return runtime_ / "velto" / (std::string(kTestId) + ".socket"); }

  SessionHandlers handlers() {
    return {.requested = [this](const HostRequest& request) { requests_.push_back(request); },
            .refused = [this](std::string_view why) { refusals_.emplace_back(why); }};
  }

  void becomeHost() {
    auto claim = claimSession(kTestId, {}, handlers());
    ASSERT_TRUE(claim.has_value()) << claim.error();
    ASSERT_TRUE(std::holds_alternative<SessionHost>(*claim));
    host_.emplace(std::get<SessionHost>(std::move(*claim)));
    ASSERT_EQ(SessionChannel::runtimeFolder, host_->channel());
  }

  /// Sends `bytes` to the host's socket as one datagram.
  void sendRaw(const std::string& bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketPath().string();
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    const ssize_t sent = ::sendto(fd, bytes.data(), bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    ::close(fd);
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), sent);
  }

  fs::path runtime_;
  std::optional<ScopedEnvironment> runtimeVariable_;
  std::optional<ScopedEnvironment> busVariable_;
  // An X11 display would let GLib start a bus of its own.
  ScopedEnvironment display_{"DISPLAY", nullptr};
  std::optional<SessionHost> host_;
  std::vector<HostRequest> requests_;
  std::vector<std::string> refusals_;
};

TEST_P(SessionFolderTest, ALaterClaimIsToldAndTheHostHearsItsPlacement) {
  becomeHost();
  auto later = claimSession(kTestId, HostRequest{{"--family", "medium"}}, {});
  ASSERT_TRUE(later.has_value()) << later.error();
  ASSERT_TRUE(std::holds_alternative<ToldRunningHost>(*later));
  EXPECT_EQ(SessionChannel::runtimeFolder, std::get<ToldRunningHost>(*later).channel);
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  const std::vector<HostRequest> expected{HostRequest{{"--family", "medium"}}};
  EXPECT_EQ(expected, requests_);
}

TEST_P(SessionFolderTest, ALaunchInAnotherProcessIsTold) {
  becomeHost();
  EXPECT_EQ("told runtime-folder\n", runProbe({kTestId, "--position", "top-right"}));
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  const std::vector<HostRequest> expected{HostRequest{{"--position", "top-right"}}};
  EXPECT_EQ(expected, requests_);
}

TEST_P(SessionFolderTest, AClaimAfterTheHostEndsBecomesTheHost) {
  becomeHost();
  host_.reset();
  EXPECT_FALSE(fs::exists(socketPath()));
  EXPECT_EQ("primary runtime-folder\n", runProbe({kTestId}));
  becomeHost();
}

TEST_P(SessionFolderTest, ASocketLeftByAnEndedHostDoesNotBlockTheNext) {
  fs::create_directories(runtime_ / "velto");
  {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath().string().copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(0, ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)));
    ::close(fd);
  }
  ASSERT_TRUE(fs::exists(socketPath()));
  becomeHost();
  EXPECT_EQ("told runtime-folder\n", runProbe({kTestId, "--margin", "4"}));
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  const std::vector<HostRequest> expected{HostRequest{{"--margin", "4"}}};
  EXPECT_EQ(expected, requests_);
}

TEST_P(SessionFolderTest, TheHostIgnoresGarbageAndGoesOn) {
  becomeHost();
  const std::vector<std::string> garbage = {
      "",
      "not json",
      "{\"family\":\"medium\"}",
      "[1,2]",
      "[\"\xff\"]",
      std::string(kMaxRequestBytes + 1, '['),
      std::string(64 * 1024, 'x'),
  };
  for (const std::string& bytes : garbage) {
    sendRaw(bytes);
  }
  sendRaw("[\"--family\",\"large\"]");
  ASSERT_TRUE(runUntil(g_main_context_default(), [&] { return !requests_.empty(); }));
  const std::vector<HostRequest> expected{HostRequest{{"--family", "large"}}};
  EXPECT_EQ(expected, requests_);
  EXPECT_EQ(garbage.size(), refusals_.size());
}

TEST_P(SessionFolderTest, FailsWithoutARuntimeFolder) {
  const ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", nullptr);
  const auto claim = claimSession(kTestId, {}, handlers());
  ASSERT_FALSE(claim.has_value());
  EXPECT_NE(std::string::npos, claim.error().find("XDG_RUNTIME_DIR")) << claim.error();
}

INSTANTIATE_TEST_SUITE_P(DeadOrNoBus, SessionFolderTest, ::testing::Bool(),
                         [](const auto& bus) { return bus.param ? "DeadBus" : "NoBus"; });

}  // namespace
}  // namespace velto::host::session
