#pragma once

// Typed results of the extension's replies, read from the JSON-RPC result.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/foundation/expected.hpp"
#include "platform/widgets/protocol/messages.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

/// One widget that the extension declares.
using WidgetDescription = platform::widgets::protocol::WidgetInfo;

/// The result of `initialize`.
using InitializeResult = platform::widgets::protocol::InitializeResult;

/// The params of `initialize` for the protocol version this host speaks.
nlohmann::json initializeParams();
/// The params of `placeholder` and `timeline`.
nlohmann::json widgetParams(std::string_view kind, platform::widgets::WidgetFamily family);

/// Reads an `initialize` result; the error is one line for a person.
platform::foundation::Expected<InitializeResult, std::string> decodeInitialize(
    const nlohmann::json& result);

/// Reads a `placeholder` or `snapshot` result, `{"entry": …}`, answering `method`.
platform::foundation::Expected<platform::widgets::protocol::EntryMessage, std::string>
decodeEntryResult(const nlohmann::json& result, std::string_view method = "placeholder");

/// Reads a `timeline` result: `{"entries": […], "policy": …}`.
platform::foundation::Expected<platform::widgets::protocol::TimelineMessage, std::string>
decodeTimeline(const nlohmann::json& result);

}  // namespace velto::host
