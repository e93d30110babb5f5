#include "host/app/extension_session.hpp"

#include <array>
#include <string>

#include <unistd.h>

#include "platform/widgets/protocol/reply_codec.hpp"

namespace velto::host {

namespace protocol = platform::widgets::protocol;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::WidgetFamily;

namespace {

constexpr const char* kExtensionName = "velto-widget-extension";

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
  if (override) {
    return *override;
  }
  std::array<char, 4096> self{};
  const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  if (length <= 0) {
    return kExtensionName;
  }
  return std::filesystem::path(std::string(self.data(), static_cast<std::size_t>(length)))
             .parent_path()
         / kExtensionName;
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
