// velto-session-claim-probe <application id> [argument ...]: claims the session
// with the arguments as the request and prints "primary <channel>", "told
// <channel>" or "error: <why>".

#include <cstdio>
#include <string>
#include <vector>

#include "host/session/session_host.hpp"
#include "platform/foundation/overloaded.hpp"

namespace {

using velto::host::session::SessionChannel;

const char* channelName(SessionChannel channel) {
  switch (channel) {
    case SessionChannel::sessionBus:
      return "session-bus";
    case SessionChannel::runtimeFolder:
      return "runtime-folder";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  namespace session = velto::host::session;
  if (argc < 2) {
    std::fputs("usage: velto-session-claim-probe <application id> [argument ...]\n", stderr);
    return 64;
  }
  const std::vector<std::string> arguments(argv + 2, argv + argc);
  auto claim = session::claimSession(argv[1], session::HostRequest{arguments}, {});
  if (!claim) {
    std::printf("error: %s\n", claim.error().c_str());
    return 1;
  }
  std::visit(platform::foundation::overloaded{
                 [](const session::SessionHost& host) {
                   std::printf("primary %s\n", channelName(host.channel()));
                 },
                 [](const session::ToldRunningHost& told) {
                   std::printf("told %s\n", channelName(told.channel));
                 },
             },
             *claim);
  return 0;
}
