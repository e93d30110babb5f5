#pragma once

#include <filesystem>
#include <optional>

#include "host/client/host_error.hpp"
#include "host/client/protocol_client.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/widgets/protocol/messages.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

/// One entry as the host keeps it: its date and its parsed view tree.
using HostEntry = platform::widgets::protocol::EntryMessage;

/// A timeline as the host keeps it.
using HostTimeline = platform::widgets::protocol::TimelineMessage;

/// What the extension declared for its widget in `initialize`.
using WidgetDescription = platform::widgets::protocol::WidgetInfo;

/// The extension's program beside the running host's own, or `override` when given.
std::filesystem::path extensionPath(const std::optional<std::filesystem::path>& override);

/// A started and initialised extension, serving one widget kind. Every reply is
/// checked for its documented shape; one that is off is an error.
class ExtensionSession {
 public:
  static platform::foundation::Expected<ExtensionSession, HostError> start(
      const std::filesystem::path& executable);

  const WidgetDescription& widget() const { return widget_; }

  platform::foundation::Expected<HostEntry, HostError> placeholder(
      platform::widgets::WidgetFamily family);
  platform::foundation::Expected<HostTimeline, HostError> timeline(
      platform::widgets::WidgetFamily family);

 private:
  ExtensionSession(ProtocolClient client, WidgetDescription widget)
      : client_(std::move(client)), widget_(std::move(widget)) {}

  ProtocolClient client_;
  WidgetDescription widget_;
};

}  // namespace velto::host
