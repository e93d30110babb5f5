#include "platform/widgets/request_handler.hpp"

#include <cmath>
#include <cstring>
#include <utility>

#include "platform/ui/archive.hpp"
#include "platform/widgets/line_transport.hpp"

namespace platform::widgets {

using Json = nlohmann::json;

namespace {

// Requests are small and flat; anything nested deeper is refused unbuilt.
constexpr int kMaxRequestDepth = 32;

/// A failed request: the JSON-RPC error it is answered with.
struct Failure {
  RpcError code;
  std::string message;
};

std::string errorReply(const Json& id, RpcError code, std::string_view message) {
  const Json reply = {{"jsonrpc", "2.0"},
                      {"id", id},
                      {"error", {{"code", static_cast<int>(code)}, {"message", message}}}};
  return reply.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json dateJson(foundation::Date date) {
  const double seconds = date.timeIntervalSinceReferenceDate();
  return std::isfinite(seconds) ? Json(seconds) : Json(nullptr);
}

Json entryJson(const RenderedEntry& entry) {
  return {{"date", dateJson(entry.date)}, {"view", ui::archive(entry.view)}};
}

Json policyJson(const TimelineReloadPolicy& policy) {
  switch (policy.kind()) {
    case TimelineReloadPolicy::Kind::atEnd:
      return {{"atEnd", true}};
    case TimelineReloadPolicy::Kind::after:
      return {{"after", dateJson(*policy.date())}};
    case TimelineReloadPolicy::Kind::never:
      return {{"never", true}};
  }
  return nullptr;
}

using Result = foundation::Expected<Json, Failure>;

foundation::Unexpected<Failure> invalidParams(std::string message) {
  return foundation::Unexpected(Failure{RpcError::invalidParams, std::move(message)});
}

/// One named member of `params`, or the failure that names it when it is
/// missing or of the wrong type.
foundation::Expected<const Json*, Failure> member(const Json& params, const char* name,
                                                  Json::value_t type) {
  const auto found = params.find(name);
  if (found == params.end()) {
    return invalidParams(std::string("missing param '") + name + "'");
  }
  const bool matches =
      type == Json::value_t::number_integer ? found->is_number_integer() : found->type() == type;
  if (!matches) {
    return invalidParams(std::string("param '") + name + "' must be "
                         + (type == Json::value_t::number_integer
                                ? "an integer"
                                : std::string("a ") + Json(type).type_name()));
  }
  return &*found;
}

Result dispatch(std::span<const WidgetConfiguration> configurations, std::string_view method,
                const Json& params) {
  if (method == "initialize") {
    const auto version = member(params, "protocolVersion", Json::value_t::number_integer);
    if (!version) {
      return foundation::Unexpected(version.error());
    }
    if (**version != kProtocolVersion) {
      return invalidParams("unsupported protocol version " + (*version)->dump()
                           + "; this extension speaks version " + std::to_string(kProtocolVersion));
    }
    Json widgets = Json::array();
    for (const WidgetConfiguration& configuration : configurations) {
      const auto& gallery = configuration.gallery();
      Json families = Json::array();
      for (WidgetFamily family : gallery.supportedFamilies) {
        families.push_back(rawValue(family));
      }
      widgets.push_back({{"kind", gallery.kind},
                         {"displayName", gallery.displayName.key},
                         {"description", gallery.description.key},
                         {"supportedFamilies", std::move(families)}});
    }
    return Json{{"protocolVersion", kProtocolVersion}, {"widgets", std::move(widgets)}};
  }

  const bool known = method == "placeholder" || method == "snapshot" || method == "timeline"
                     || method == "relevance";
  if (!known) {
    return foundation::Unexpected(
        Failure{RpcError::methodNotFound, "unknown method '" + std::string(method) + "'"});
  }

  const auto kindField = member(params, "kind", Json::value_t::string);
  if (!kindField) {
    return foundation::Unexpected(kindField.error());
  }
  const auto& kind = (*kindField)->get_ref<const std::string&>();
  const WidgetConfiguration* configuration = nullptr;
  for (const WidgetConfiguration& candidate : configurations) {
    if (candidate.gallery().kind == kind) {
      configuration = &candidate;
    }
  }
  if (configuration == nullptr) {
    return invalidParams("unknown widget kind '" + kind + "'");
  }
  if (method == "relevance") {
    const auto relevance = configuration->relevance();
    return Json{{"relevance", relevance.score ? Json{{"score", *relevance.score}} : Json(nullptr)}};
  }

  const auto familyField = member(params, "family", Json::value_t::string);
  if (!familyField) {
    return foundation::Unexpected(familyField.error());
  }
  const auto& familyName = (*familyField)->get_ref<const std::string&>();
  const auto family = widgetFamilyFromRawValue(familyName);
  if (!family) {
    return invalidParams("unknown widget family '" + familyName + "'");
  }
  if (!configuration->supports(*family)) {
    return invalidParams("widget '" + kind + "' does not support the family '" + familyName + "'");
  }
  TimelineProviderContext context{*family, false, {}};

  if (method == "placeholder") {
    return Json{{"entry", entryJson(configuration->placeholder(context))}};
  }
  if (method == "snapshot") {
    if (params.contains("isPreview")) {
      const auto preview = member(params, "isPreview", Json::value_t::boolean);
      if (!preview) {
        return foundation::Unexpected(preview.error());
      }
      context.isPreview = (*preview)->get<bool>();
    }
    const auto entry = configuration->snapshot(context);
    if (!entry) {
      return foundation::Unexpected(Failure{RpcError::internalError, "the provider gave no entry"});
    }
    return Json{{"entry", entryJson(*entry)}};
  }
  const auto timeline = configuration->timeline(context);
  if (!timeline) {
    return foundation::Unexpected(
        Failure{RpcError::internalError, "the provider gave no timeline"});
  }
  Json entries = Json::array();
  for (const RenderedEntry& entry : timeline->entries) {
    entries.push_back(entryJson(entry));
  }
  return Json{{"entries", std::move(entries)}, {"policy", policyJson(timeline->policy)}};
}

}  // namespace

std::string RequestHandler::lineTooLongReply() {
  return errorReply(nullptr, RpcError::invalidRequest,
                    "message line over " + std::to_string(kMaxMessageLine) + " bytes");
}

std::optional<std::string> RequestHandler::handle(std::string_view line) const {
  // A raw NUL cannot occur in JSON text, and the parser would stop at it.
  if (line.find('\0') != std::string_view::npos) {
    return errorReply(nullptr, RpcError::parseError, "message holds a NUL byte");
  }
  bool tooDeep = false;
  const Json::parser_callback_t depthGuard = [&](int depth, Json::parse_event_t, Json&) {
    if (depth > kMaxRequestDepth) {
      tooDeep = true;
    }
    return !tooDeep;
  };
  const Json request = Json::parse(line.begin(), line.end(), depthGuard, false);
  if (tooDeep) {
    return errorReply(nullptr, RpcError::invalidRequest, "message nests too deeply");
  }
  if (request.is_discarded()) {
    return errorReply(nullptr, RpcError::parseError, "message is not JSON");
  }
  if (!request.is_object()) {
    return errorReply(nullptr, RpcError::invalidRequest,
                      "message is not a JSON-RPC request object");
  }

  const auto idField = request.find("id");
  const bool isNotification = idField == request.end();
  const Json id = isNotification ? Json(nullptr) : *idField;
  if (!id.is_null() && !id.is_string() && !id.is_number_integer()) {
    return errorReply(nullptr, RpcError::invalidRequest, "id must be a string or an integer");
  }
  const auto version = request.find("jsonrpc");
  const auto method = request.find("method");
  if (version == request.end() || *version != "2.0" || method == request.end()
      || !method->is_string()) {
    return errorReply(id, RpcError::invalidRequest,
                      "a request needs \"jsonrpc\": \"2.0\" and a string \"method\"");
  }
  const auto paramsField = request.find("params");
  const Json params = paramsField == request.end() ? Json::object() : *paramsField;
  if (!params.is_object()) {
    return errorReply(id, RpcError::invalidParams, "params must be an object");
  }

  Result result = Json(nullptr);
  try {
    result = dispatch(configurations_, method->get_ref<const std::string&>(), params);
  } catch (const std::exception& exception) {
    // Only the library throws, and only when memory runs out or on a fault of ours.
    result = foundation::Unexpected(Failure{RpcError::internalError, exception.what()});
  }
  if (isNotification) {
    return std::nullopt;
  }
  if (!result) {
    return errorReply(id, result.error().code, result.error().message);
  }
  const Json reply = {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(*result)}};
  return reply.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace platform::widgets
