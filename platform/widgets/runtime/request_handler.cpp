#include "platform/widgets/runtime/request_handler.hpp"

#include <exception>
#include <utility>

#include "platform/foundation/overloaded.hpp"
#include "platform/widgets/protocol/reply_codec.hpp"
#include "platform/widgets/protocol/request_codec.hpp"

namespace platform::widgets {

using foundation::Expected;
using foundation::Unexpected;
using protocol::RpcError;
using protocol::RpcErrorCode;

namespace {

using Result = Expected<protocol::ResultMessage, RpcError>;

Unexpected<RpcError> refusal(RpcErrorCode code, std::string message) {
  return Unexpected(RpcError{static_cast<std::int64_t>(code), std::move(message)});
}

/// Serves the requests that name a widget kind and, but for `relevance`, a family.
class Server {
 public:
  explicit Server(std::span<const WidgetConfiguration> configurations)
      : configurations_(configurations) {}

  Result operator()(const protocol::InitializeParams&) const {
    protocol::InitializeResult hello;
    for (const WidgetConfiguration& configuration : configurations_) {
      const auto& gallery = configuration.gallery();
      hello.widgets.push_back({gallery.kind, gallery.displayName.key, gallery.description.key,
                               gallery.supportedFamilies});
    }
    return hello;
  }

  Result operator()(const protocol::PlaceholderParams& params) const {
    return withConfiguration(
        params.kind, params.family,
        [](const auto& found, const auto& context) { return Result(found.placeholder(context)); });
  }

  Result operator()(const protocol::SnapshotParams& params) const {
    return withConfiguration(
        params.kind, params.family, [&](const auto& found, TimelineProviderContext context) {
          context.isPreview = params.isPreview;
          auto entry = found.snapshot(context);
          if (!entry) {
            return Result(refusal(RpcErrorCode::internalError, "the provider gave no entry"));
          }
          return Result(std::move(*entry));
        });
  }

  Result operator()(const protocol::TimelineParams& params) const {
    return withConfiguration(
        params.kind, params.family, [](const auto& found, const auto& context) {
          auto timeline = found.timeline(context);
          if (!timeline) {
            return Result(refusal(RpcErrorCode::internalError, "the provider gave no timeline"));
          }
          return Result(std::move(*timeline));
        });
  }

  Result operator()(const protocol::RelevanceParams& params) const {
    const auto* found = configuration(params.kind);
    if (found == nullptr) {
      return unknownKind(params.kind);
    }
    return protocol::RelevanceResult{found->relevance().score};
  }

 private:
  const WidgetConfiguration* configuration(const std::string& kind) const {
    const WidgetConfiguration* found = nullptr;
    for (const WidgetConfiguration& candidate : configurations_) {
      if (candidate.gallery().kind == kind) {
        found = &candidate;
      }
    }
    return found;
  }

  static Result unknownKind(const std::string& kind) {
    return refusal(RpcErrorCode::invalidParams, "unknown widget kind '" + kind + "'");
  }

  template <class Serve>
  Result withConfiguration(const std::string& kind, WidgetFamily family, Serve serve) const {
    const auto* found = configuration(kind);
    if (found == nullptr) {
      return unknownKind(kind);
    }
    if (!found->supports(family)) {
      return refusal(RpcErrorCode::invalidParams, "widget '" + kind
                                                      + "' does not support the family '"
                                                      + std::string(rawValue(family)) + "'");
    }
    return serve(*found, TimelineProviderContext{family, false, {}});
  }

  std::span<const WidgetConfiguration> configurations_;
};

}  // namespace

std::string RequestHandler::lineTooLongReply() {
  return protocol::encodeError(
      nullptr,
      RpcError{static_cast<std::int64_t>(RpcErrorCode::invalidRequest),
               "message line over " + std::to_string(protocol::kMaxMessageLine) + " bytes"});
}

std::optional<std::string> RequestHandler::handle(std::string_view line) const {
  auto request = protocol::decodeRequest(line);
  if (!request) {
    const auto& failure = request.error();
    if (!failure.id) {
      return std::nullopt;
    }
    return protocol::encodeError(*failure.id, failure.error);
  }
  // The extension keeps no state, so a notification has nothing to do.
  if (!request->id) {
    return std::nullopt;
  }
  Result result = refusal(RpcErrorCode::internalError, "no answer");
  try {
    result = std::visit(Server(configurations_), request->params);
  } catch (const std::exception& exception) {
    // Only the library throws, and only when memory runs out or on a fault of ours.
    result = refusal(RpcErrorCode::internalError, exception.what());
  }
  if (!result) {
    return protocol::encodeError(*request->id, result.error());
  }
  return protocol::encodeResult(*request->id, *result);
}

}  // namespace platform::widgets
