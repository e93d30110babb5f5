#pragma once

// Replies in JSON: the extension encodes them, the host decodes them.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/foundation/expected.hpp"
#include "platform/widgets/protocol/messages.hpp"

namespace platform::widgets::protocol {

/// One message line (no newline) answering request `id` with `result`.
std::string encodeResult(const RequestId& id, const ResultMessage& result);

/// One message line (no newline) refusing request `id`.
std::string encodeError(const RequestId& id, const RpcError& error);

/// Why the host cannot use a reply: one line for a person, naming what is off.
struct ReplyError {
  std::string message;
  friend bool operator==(const ReplyError&, const ReplyError&) = default;
};

/// A decoded reply, its result still untyped until the caller, who knows the
/// method it asked, decodes it.
struct Reply {
  RequestId id;
  /// The result, or the extension's error with its message made printable
  /// (see foundation::printableText).
  foundation::Expected<nlohmann::json, RpcError> outcome;
};

/// The reply of one message line, parsed with the same guards as a request
/// (NUL bytes, duplicate keys, size and depth). Never throws, except std::bad_alloc.
foundation::Expected<Reply, ReplyError> decodeReply(std::string_view line);

/// `initialize`'s result; refuses one that lists no widget.
foundation::Expected<InitializeResult, ReplyError> decodeInitializeResult(
    const nlohmann::json& result);
/// `placeholder`'s or `snapshot`'s result, its view read as the archive reader reads it.
foundation::Expected<EntryMessage, ReplyError> decodeEntryResult(const nlohmann::json& result);
/// `timeline`'s result.
foundation::Expected<TimelineMessage, ReplyError> decodeTimelineResult(
    const nlohmann::json& result);
/// `relevance`'s result.
foundation::Expected<RelevanceResult, ReplyError> decodeRelevanceResult(
    const nlohmann::json& result);

}  // namespace platform::widgets::protocol
