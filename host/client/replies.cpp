#include "host/client/replies.hpp"

#include <limits>
#include <optional>
#include <utility>

#include "host/client/protocol_client.hpp"
#include "platform/widgets/protocol/messages.hpp"
#include "platform/ui/archive.hpp"
#include "platform/widgets/protocol/messages.hpp"

namespace velto::host {

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::TimelineReloadPolicy;
using platform::widgets::WidgetFamily;
using platform::widgets::protocol::kProtocolVersion;
using Json = nlohmann::json;
using platform::widgets::protocol::kProtocolVersion;

namespace {

Unexpected<std::string> refused(std::string what) {
  return Unexpected(std::move(what));
}

const Json* field(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

/// A date as the protocol writes it: a number, or null for one that was not finite.
std::optional<Date> dateValue(const Json* value) {
  if (value == nullptr) {
    return std::nullopt;
  }
  if (value->is_null()) {
    return Date(std::numeric_limits<double>::quiet_NaN());
  }
  if (!value->is_number()) {
    return std::nullopt;
  }
  return Date(value->get<double>());
}

Expected<ViewEntry, std::string> entryValue(const Json& entry, const std::string& where) {
  if (!entry.is_object()) {
    return refused(where + " is not an object");
  }
  const auto date = dateValue(field(entry, "date"));
  if (!date) {
    return refused(where + " has no date");
  }
  const Json* view = field(entry, "view");
  if (view == nullptr) {
    return refused(where + " has no view");
  }
  auto tree = platform::ui::unarchive(*view);
  if (!tree) {
    return refused(where + "'s view is refused: " + tree.error().message);
  }
  return ViewEntry{*date, std::move(*tree)};
}

Expected<TimelineReloadPolicy, std::string> policyValue(const Json* policy) {
  if (policy == nullptr || !policy->is_object() || policy->size() != 1) {
    return refused("the timeline's policy is not one of after, atEnd and never");
  }
  if (const auto date = dateValue(field(*policy, "after"))) {
    return TimelineReloadPolicy::after(*date);
  }
  if (const Json* atEnd = field(*policy, "atEnd"); atEnd != nullptr && *atEnd == Json(true)) {
    return TimelineReloadPolicy::atEnd();
  }
  if (const Json* never = field(*policy, "never"); never != nullptr && *never == Json(true)) {
    return TimelineReloadPolicy::never();
  }
  return refused("the timeline's policy is not one of after, atEnd and never");
}

std::optional<std::string> stringField(const Json& object, const char* name) {
  const Json* value = field(object, name);
  if (value == nullptr || !value->is_string()) {
    return std::nullopt;
  }
  return value->get<std::string>();
}

}  // namespace

Json initializeParams() {
  return {{"protocolVersion", kProtocolVersion}};
}

Json widgetParams(std::string_view kind, WidgetFamily family) {
  return {{"kind", kind}, {"family", platform::widgets::rawValue(family)}};
}

Expected<InitializeResult, std::string> decodeInitialize(const Json& result) {
  if (!result.is_object()) {
    return refused("the answer to 'initialize' is not an object");
  }
  const Json* version = field(result, "protocolVersion");
  if (version == nullptr || !version->is_number_integer() || *version != Json(kProtocolVersion)) {
    return refused("the extension does not speak protocol version "
                   + std::to_string(kProtocolVersion));
  }
  const Json* widgets = field(result, "widgets");
  if (widgets == nullptr || !widgets->is_array()) {
    return refused("the answer to 'initialize' has no list of widgets");
  }
  InitializeResult out{kProtocolVersion, {}};
  for (const Json& widget : *widgets) {
    const std::string where = "widget " + std::to_string(out.widgets.size() + 1);
    if (!widget.is_object()) {
      return refused(where + " is not an object");
    }
    WidgetDescription described;
    const auto kind = stringField(widget, "kind");
    const auto displayName = stringField(widget, "displayName");
    const auto description = stringField(widget, "description");
    const Json* families = field(widget, "supportedFamilies");
    if (!kind || !displayName || !description || families == nullptr || !families->is_array()) {
      return refused(where + " lacks a kind, a name, a description or its families");
    }
    described.kind = *kind;
    described.displayName = *displayName;
    described.description = *description;
    for (const Json& name : *families) {
      const auto family = name.is_string()
                              ? platform::widgets::widgetFamilyFromRawValue(name.get<std::string>())
                              : std::nullopt;
      if (!family) {
        return refused(where + " names an unknown family");
      }
      described.supportedFamilies.push_back(*family);
    }
    out.widgets.push_back(std::move(described));
  }
  return out;
}

Expected<ViewEntry, std::string> decodeEntryResult(const Json& result) {
  const Json* entry = result.is_object() ? field(result, "entry") : nullptr;
  if (entry == nullptr) {
    return refused("the answer holds no entry");
  }
  return entryValue(*entry, "the entry");
}

Expected<ViewTimeline, std::string> decodeTimeline(const Json& result) {
  const Json* entries = result.is_object() ? field(result, "entries") : nullptr;
  if (entries == nullptr || !entries->is_array()) {
    return refused("the timeline has no list of entries");
  }
  auto policy = policyValue(field(result, "policy"));
  if (!policy) {
    return Unexpected(std::move(policy).error());
  }
  std::vector<ViewEntry> kept;
  kept.reserve(entries->size());
  for (const Json& entry : *entries) {
    auto decoded = entryValue(entry, "entry " + std::to_string(kept.size() + 1));
    if (!decoded) {
      return Unexpected(std::move(decoded).error());
    }
    kept.push_back(std::move(*decoded));
  }
  return ViewTimeline{std::move(kept), *policy};
}

}  // namespace velto::host
