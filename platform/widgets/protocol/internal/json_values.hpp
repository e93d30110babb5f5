#pragma once

// JSON forms that requests and replies share.

#include <nlohmann/json.hpp>

#include "platform/widgets/protocol/messages.hpp"

namespace platform::widgets::protocol::internal {

/// The id as JSON: null, a number or a string.
nlohmann::json idJson(const RequestId& id);

/// The id that `value` holds, or nothing when JSON-RPC allows no such id.
std::optional<RequestId> idFromJson(const nlohmann::json& value);

/// A date as seconds since 2001; null for one that is not finite.
nlohmann::json dateJson(foundation::Date date);

/// `value` as one message line: compact, keys sorted, bad UTF-8 replaced.
std::string lineOf(const nlohmann::json& value);

}  // namespace platform::widgets::protocol::internal
