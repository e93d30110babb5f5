#include "host/app/extension_session.hpp"

#include <string>

#include "host/app/extension_location.hpp"
#include "platform/widgets/protocol/reply_codec.hpp"

namespace velto::host {

namespace protocol = platform::widgets::protocol;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::WidgetFamily;

namespace {

/// The typed result of a call, or the error that names the method.
template <class Decode>
auto decoded(const Expected<nlohmann::json, HostError>& result, std::string_view method,
             Decode decode) -> Expected<typename decltype(decode(*result))::value_type, HostError> {
  if (!result) {
    return Unexpected(result.error());
  }
  auto value = decode(*result);
  if (!value) {
    return Unexpected(HostError{"the extension's reply to '" + std::string(method) + "' "
                                + value.error().message});
  }
  return std::move(*value);
}

}  // namespace

std::filesystem::path extensionPath(const std::optional<std::filesystem::path>& override) {
  // When nothing is found, the installed place is the one a failure should name.
  const auto found = locateExtension(override);
  if (found) {
    return *found;
  }
  const auto program = runningProgram();
  return program ? extensionCandidates(*program).back() : std::filesystem::path(kExtensionProgram);
}

Expected<ExtensionSession, HostError> ExtensionSession::start(
    const std::filesystem::path& executable) {
  auto process = ExtensionProcess::launch(executable);
  if (!process) {
    return Unexpected(process.error());
  }
  ProtocolClient client(std::move(*process));
  auto hello = decoded(client.call(protocol::InitializeParams{}), "initialize",
                       protocol::decodeInitializeResult);
  if (!hello) {
    client.shutdown();
    return Unexpected(hello.error());
  }
  // The host shows one widget: the first the extension lists.
  return ExtensionSession(std::move(client), std::move(hello->widgets.front()));
}

Expected<HostEntry, HostError> ExtensionSession::placeholder(WidgetFamily family) {
  return decoded(client_.call(protocol::PlaceholderParams{widget_.kind, family}), "placeholder",
                 protocol::decodeEntryResult);
}

Expected<HostTimeline, HostError> ExtensionSession::timeline(WidgetFamily family) {
  return decoded(client_.call(protocol::TimelineParams{widget_.kind, family}), "timeline",
                 protocol::decodeTimelineResult);
}

}  // namespace velto::host
