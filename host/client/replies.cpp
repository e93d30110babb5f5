#include "host/client/replies.hpp"

#include <utility>

#include "platform/widgets/protocol/reply_codec.hpp"

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::WidgetFamily;
namespace protocol = platform::widgets::protocol;
using Json = nlohmann::json;

namespace {

/// The codec's verdict, a refusal made one line that names the method.
template <class T>
Expected<T, std::string> namingMethod(std::string_view method,
                                      Expected<T, protocol::ReplyError> decoded) {
  if (!decoded) {
    return Unexpected("the answer to '" + std::string(method) + "' " + decoded.error().message);
  }
  return std::move(*decoded);
}

}  // namespace

Json initializeParams() {
  return {{"protocolVersion", protocol::kProtocolVersion}};
}

Json widgetParams(std::string_view kind, WidgetFamily family) {
  return {{"kind", kind}, {"family", platform::widgets::rawValue(family)}};
}

Expected<InitializeResult, std::string> decodeInitialize(const Json& result) {
  return namingMethod("initialize", protocol::decodeInitializeResult(result));
}

Expected<protocol::EntryMessage, std::string> decodeEntryResult(const Json& result,
                                                                std::string_view method) {
  return namingMethod(method, protocol::decodeEntryResult(result));
}

Expected<protocol::TimelineMessage, std::string> decodeTimeline(const Json& result) {
  return namingMethod("timeline", protocol::decodeTimelineResult(result));
}

}  // namespace velto::host
