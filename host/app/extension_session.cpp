#include "host/app/extension_session.hpp"

#include "host/app/extension_location.hpp"
#include "platform/ui/archive.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::TimelineReloadPolicy;
using platform::widgets::WidgetFamily;
using Json = nlohmann::json;

namespace {

Unexpected<HostError> malformed(const std::string& method, const std::string& what) {
  return Unexpected(HostError{"the extension's reply to '" + method + "' is malformed: " + what});
}

Expected<Date, HostError> dateOf(const Json& value, const std::string& method) {
  if (!value.is_number()) {
    return malformed(method, "a date is not a number");
  }
  return Date(value.get<double>());
}

Expected<HostEntry, HostError> entryOf(const Json& value, const std::string& method) {
  if (!value.is_object() || !value.contains("date") || !value.contains("view")) {
    return malformed(method, "an entry is not {\"date\", \"view\"}");
  }
  const auto date = dateOf(value.at("date"), method);
  if (!date) {
    return Unexpected(date.error());
  }
  auto view = platform::ui::unarchive(value.at("view"));
  if (!view) {
    const auto& error = view.error();
    return malformed(method, "its view tree does not parse ("
                                 + (error.path.empty() ? std::string() : error.path + ": ")
                                 + error.message + ")");
  }
  return HostEntry{*date, std::move(*view)};
}

Expected<TimelineReloadPolicy, HostError> policyOf(const Json& value, const std::string& method) {
  if (value.is_object() && value.size() == 1) {
    if (value.contains("after")) {
      const auto date = dateOf(value.at("after"), method);
      if (!date) {
        return Unexpected(date.error());
      }
      return TimelineReloadPolicy::after(*date);
    }
    if (value.value("atEnd", false)) {
      return TimelineReloadPolicy::atEnd();
    }
    if (value.value("never", false)) {
      return TimelineReloadPolicy::never();
    }
  }
  return malformed(method, "its policy is none of after, atEnd and never");
}

Expected<WidgetDescription, HostError> widgetOf(const Json& result) {
  const Json* widgets =
      result.is_object() && result.contains("widgets") ? &result["widgets"] : nullptr;
  if (widgets == nullptr || !widgets->is_array() || widgets->empty()
      || !widgets->front().is_object()) {
    return malformed("initialize", "it lists no widget");
  }
  const Json& first = widgets->front();
  WidgetDescription widget;
  for (auto [field, target] :
       {std::pair{"kind", &widget.kind}, std::pair{"displayName", &widget.displayName},
        std::pair{"description", &widget.description}}) {
    const auto found = first.find(field);
    if (found == first.end() || !found->is_string()) {
      return malformed("initialize", std::string("the widget has no string '") + field + "'");
    }
    *target = found->get<std::string>();
  }
  const auto families = first.find("supportedFamilies");
  if (families == first.end() || !families->is_array()) {
    return malformed("initialize", "the widget lists no families");
  }
  for (const Json& name : *families) {
    const auto family = name.is_string()
                            ? platform::widgets::widgetFamilyFromRawValue(name.get<std::string>())
                            : std::nullopt;
    if (!family) {
      return malformed("initialize", "the widget names an unknown family");
    }
    widget.supportedFamilies.push_back(*family);
  }
  return widget;
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
  const auto hello = client.call("initialize", {{"protocolVersion", kProtocolVersion}});
  if (!hello) {
    return Unexpected(hello.error());
  }
  auto widget = widgetOf(*hello);
  if (!widget) {
    client.shutdown();
    return Unexpected(widget.error());
  }
  return ExtensionSession(std::move(client), std::move(*widget));
}

Expected<HostEntry, HostError> ExtensionSession::placeholder(WidgetFamily family) {
  const auto result = client_.call(
      "placeholder", {{"kind", widget_.kind}, {"family", platform::widgets::rawValue(family)}});
  if (!result) {
    return Unexpected(result.error());
  }
  if (!result->is_object() || !result->contains("entry")) {
    return malformed("placeholder", "it holds no entry");
  }
  return entryOf(result->at("entry"), "placeholder");
}

Expected<HostTimeline, HostError> ExtensionSession::timeline(WidgetFamily family) {
  const auto result = client_.call(
      "timeline", {{"kind", widget_.kind}, {"family", platform::widgets::rawValue(family)}});
  if (!result) {
    return Unexpected(result.error());
  }
  if (!result->is_object() || !result->contains("entries") || !result->at("entries").is_array()
      || !result->contains("policy")) {
    return malformed("timeline", "it is not {\"entries\", \"policy\"}");
  }
  const auto policy = policyOf(result->at("policy"), "timeline");
  if (!policy) {
    return Unexpected(policy.error());
  }
  HostTimeline timeline{{}, *policy};
  for (const Json& value : result->at("entries")) {
    auto entry = entryOf(value, "timeline");
    if (!entry) {
      return Unexpected(entry.error());
    }
    timeline.entries.push_back(std::move(*entry));
  }
  return timeline;
}

}  // namespace velto::host
