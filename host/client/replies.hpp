#pragma once

// Typed results of the extension's replies, read from the JSON-RPC result.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/scheduler/view_timeline.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

/// One widget that the extension declares.
struct WidgetDescription {
  std::string kind;
  std::string displayName;
  std::string description;
  std::vector<platform::widgets::WidgetFamily> supportedFamilies;

  friend bool operator==(const WidgetDescription&, const WidgetDescription&) = default;
};

/// The result of `initialize`.
struct InitializeResult {
  int protocolVersion = 0;
  std::vector<WidgetDescription> widgets;
};

/// The params of `initialize` for the protocol version this host speaks.
nlohmann::json initializeParams();
/// The params of `placeholder` and `timeline`.
nlohmann::json widgetParams(std::string_view kind, platform::widgets::WidgetFamily family);

/// Reads an `initialize` result; the error is one line for a person.
platform::foundation::Expected<InitializeResult, std::string> decodeInitialize(
    const nlohmann::json& result);

/// Reads a `placeholder` or `snapshot` result: `{"entry": …}`.
platform::foundation::Expected<ViewEntry, std::string> decodeEntryResult(
    const nlohmann::json& result);

/// Reads a `timeline` result: `{"entries": […], "policy": …}`.
platform::foundation::Expected<ViewTimeline, std::string> decodeTimeline(
    const nlohmann::json& result);

}  // namespace velto::host
