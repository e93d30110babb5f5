#include "platform/widgets/protocol/request_codec.hpp"

#include <utility>

#include "platform/foundation/json_parse.hpp"
#include "platform/foundation/overloaded.hpp"
#include "platform/widgets/protocol/internal/json_values.hpp"

namespace platform::widgets::protocol {

using foundation::Expected;
using foundation::Unexpected;
using Json = nlohmann::json;

namespace {

RpcError rpcError(RpcErrorCode code, std::string message) {
  return RpcError{static_cast<std::int64_t>(code), std::move(message)};
}

/// Decodes one method's params; its failures are all invalid params.
class ParamsReader {
 public:
  explicit ParamsReader(const Json& params) : params_(params) {}

  /// The member `name`, or nothing (and a failure) when it is missing or is
  /// not of `type`; an `optional` member may be missing.
  const Json* member(const char* name, Json::value_t type, bool optional = false) {
    if (failure_) {
      return nullptr;
    }
    const auto found = params_.find(name);
    if (found == params_.end()) {
      if (!optional) {
        fail(std::string("missing param '") + name + "'");
      }
      return nullptr;
    }
    const bool integer = type == Json::value_t::number_integer;
    if (integer ? !found->is_number_integer() : found->type() != type) {
      fail(std::string("param '") + name + "' must be "
           + (integer ? "an integer" : std::string("a ") + Json(type).type_name()));
      return nullptr;
    }
    return &*found;
  }

  std::string string(const char* name) {
    const Json* value = member(name, Json::value_t::string);
    return value != nullptr ? value->get<std::string>() : std::string();
  }

  WidgetFamily family() {
    const Json* value = member("family", Json::value_t::string);
    if (value == nullptr) {
      return {};
    }
    const auto& name = value->get_ref<const std::string&>();
    const auto family = widgetFamilyFromRawValue(name);
    if (!family) {
      fail("unknown widget family '" + name + "'");
      return {};
    }
    return *family;
  }

  void fail(std::string message) {
    if (!failure_) {
      failure_ = rpcError(RpcErrorCode::invalidParams, std::move(message));
    }
  }

  const std::optional<RpcError>& failure() const { return failure_; }

 private:
  const Json& params_;
  std::optional<RpcError> failure_;
};

Expected<RequestParams, RpcError> decodeParams(std::string_view method, const Json& params) {
  ParamsReader reader(params);
  std::optional<RequestParams> decoded;
  if (method == "initialize") {
    if (const Json* version = reader.member("protocolVersion", Json::value_t::number_integer)) {
      if (*version != kProtocolVersion) {
        reader.fail("unsupported protocol version " + version->dump()
                    + "; this extension speaks version " + std::to_string(kProtocolVersion));
      }
      decoded = InitializeParams{kProtocolVersion};
    }
  } else if (method == "placeholder") {
    std::string kind = reader.string("kind");
    decoded = PlaceholderParams{std::move(kind), reader.family()};
  } else if (method == "snapshot") {
    std::string kind = reader.string("kind");
    const WidgetFamily family = reader.family();
    const Json* preview = reader.member("isPreview", Json::value_t::boolean, /*optional=*/true);
    decoded = SnapshotParams{std::move(kind), family, preview != nullptr && preview->get<bool>()};
  } else if (method == "timeline") {
    std::string kind = reader.string("kind");
    decoded = TimelineParams{std::move(kind), reader.family()};
  } else if (method == "relevance") {
    decoded = RelevanceParams{reader.string("kind")};
  } else {
    return Unexpected(
        rpcError(RpcErrorCode::methodNotFound, "unknown method '" + std::string(method) + "'"));
  }
  if (reader.failure()) {
    return Unexpected(*reader.failure());
  }
  return std::move(*decoded);
}

Unexpected<RequestFailure> failure(std::optional<RequestId> id, RpcErrorCode code,
                                   std::string message) {
  return Unexpected(RequestFailure{std::move(id), rpcError(code, std::move(message))});
}

}  // namespace

Expected<Request, RequestFailure> decodeRequest(std::string_view line) {
  using ParseCode = foundation::JsonParseError::Code;
  const auto parsed = foundation::parseJson(line, {kMaxMessageLine, kMaxRequestDepth});
  if (!parsed) {
    switch (parsed.error().code) {
      case ParseCode::tooLarge:
        return failure(nullptr, RpcErrorCode::invalidRequest,
                       "message line over " + std::to_string(kMaxMessageLine) + " bytes");
      case ParseCode::nulByte:
        return failure(nullptr, RpcErrorCode::parseError, "message holds a NUL byte");
      case ParseCode::syntax:
        return failure(nullptr, RpcErrorCode::parseError, "message is not JSON");
      case ParseCode::tooDeep:
        return failure(nullptr, RpcErrorCode::invalidRequest, "message nests too deeply");
      case ParseCode::duplicateKey:
        return failure(nullptr, RpcErrorCode::invalidRequest,
                       "message is not a JSON-RPC request: " + parsed.error().message);
    }
  }
  const Json& request = *parsed;
  if (!request.is_object()) {
    return failure(nullptr, RpcErrorCode::invalidRequest,
                   "message is not a JSON-RPC request object");
  }

  std::optional<RequestId> id;
  if (const auto idField = request.find("id"); idField != request.end()) {
    id = internal::idFromJson(*idField);
    if (!id) {
      return failure(nullptr, RpcErrorCode::invalidRequest, "id must be a string or an integer");
    }
  }
  const auto version = request.find("jsonrpc");
  const auto method = request.find("method");
  if (version == request.end() || *version != "2.0" || method == request.end()
      || !method->is_string()) {
    // Not a request, so not a notification either: it is answered.
    return failure(id.value_or(nullptr), RpcErrorCode::invalidRequest,
                   "a request needs \"jsonrpc\": \"2.0\" and a string \"method\"");
  }
  // From here on a notification's faults go unanswered, as every notification does.
  const auto paramsField = request.find("params");
  const Json params = paramsField == request.end() ? Json::object() : *paramsField;
  if (!params.is_object()) {
    return failure(id, RpcErrorCode::invalidParams, "params must be an object");
  }
  auto decoded = decodeParams(method->get_ref<const std::string&>(), params);
  if (!decoded) {
    return Unexpected(RequestFailure{id, std::move(decoded.error())});
  }
  return Request{std::move(id), std::move(*decoded)};
}

std::string encodeRequest(const RequestId& id, const RequestParams& params) {
  const Json paramsJson = std::visit(
      foundation::overloaded{
          [](const InitializeParams& p) {
            return Json{{"protocolVersion", p.protocolVersion}};
          },
          [](const PlaceholderParams& p) {
            return Json{{"kind", p.kind}, {"family", rawValue(p.family)}};
          },
          [](const SnapshotParams& p) {
            return Json{
                {"kind", p.kind}, {"family", rawValue(p.family)}, {"isPreview", p.isPreview}};
          },
          [](const TimelineParams& p) {
            return Json{{"kind", p.kind}, {"family", rawValue(p.family)}};
          },
          [](const RelevanceParams& p) {
            return Json{{"kind", p.kind}};
          },
      },
      params);
  return encodeRequest(id, methodName(params), paramsJson);
}

std::string encodeRequest(const RequestId& id, std::string_view method, const Json& params) {
  return internal::lineOf(
      {{"jsonrpc", "2.0"}, {"id", internal::idJson(id)}, {"method", method}, {"params", params}});
}

}  // namespace platform::widgets::protocol
