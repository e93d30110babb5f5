#pragma once

// The messages that the widget host and the widget extension exchange, as plain
// values. docs/protocol.md describes their JSON form.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/foundation/date.hpp"
#include "platform/ui/view.hpp"
#include "platform/widgets/timeline.hpp"
#include "platform/widgets/widget_family.hpp"

namespace platform::widgets::protocol {

/// The protocol version both sides speak.
inline constexpr int kProtocolVersion = 1;

/// Longest message line either side accepts, newline excluded.
inline constexpr std::size_t kMaxMessageLine = 1024 * 1024;

/// Most arrays and objects open at once in a request; a request is small and flat.
inline constexpr int kMaxRequestDepth = 32;

/// JSON-RPC 2.0 error codes.
enum class RpcErrorCode : int {
  parseError = -32700,
  invalidRequest = -32600,
  methodNotFound = -32601,
  invalidParams = -32602,
  internalError = -32603,
};

/// A JSON-RPC error: its code and one line for a person.
struct RpcError {
  /// The code as sent; a peer may use codes beyond the standard ones.
  std::int64_t code;
  std::string message;

  friend bool operator==(const RpcError&, const RpcError&) = default;
};

/// A request's id as JSON-RPC allows it: null, an integer or a string.
using RequestId = std::variant<std::nullptr_t, std::int64_t, std::uint64_t, std::string>;

/// One widget as `initialize` lists it.
struct WidgetInfo {
  std::string kind;
  /// Localisation keys, shown as they are without a translation.
  std::string displayName;
  std::string description;
  std::vector<WidgetFamily> supportedFamilies;

  friend bool operator==(const WidgetInfo&, const WidgetInfo&) = default;
};

/// One timeline entry: the instant from which it shows, and its view tree.
struct EntryMessage {
  foundation::Date date;
  ui::View view;

  friend bool operator==(const EntryMessage&, const EntryMessage&) = default;
};

/// A timeline: entries in the order given, and when to ask again.
struct TimelineMessage {
  std::vector<EntryMessage> entries;
  TimelineReloadPolicy policy;

  friend bool operator==(const TimelineMessage&, const TimelineMessage&) = default;
};

/// `initialize`'s params.
struct InitializeParams {
  std::int64_t protocolVersion = kProtocolVersion;
  friend bool operator==(const InitializeParams&, const InitializeParams&) = default;
};

/// `placeholder`'s params.
struct PlaceholderParams {
  std::string kind;
  WidgetFamily family;
  friend bool operator==(const PlaceholderParams&, const PlaceholderParams&) = default;
};

/// `snapshot`'s params.
struct SnapshotParams {
  std::string kind;
  WidgetFamily family;
  bool isPreview = false;
  friend bool operator==(const SnapshotParams&, const SnapshotParams&) = default;
};

/// `timeline`'s params.
struct TimelineParams {
  std::string kind;
  WidgetFamily family;
  friend bool operator==(const TimelineParams&, const TimelineParams&) = default;
};

/// `relevance`'s params.
struct RelevanceParams {
  std::string kind;
  friend bool operator==(const RelevanceParams&, const RelevanceParams&) = default;
};

/// A request's params; the alternative names the method.
using RequestParams = std::variant<InitializeParams, PlaceholderParams, SnapshotParams,
                                   TimelineParams, RelevanceParams>;

/// The method that `params` belong to ("initialize", …).
std::string_view methodName(const RequestParams& params);

/// `initialize`'s result.
struct InitializeResult {
  std::int64_t protocolVersion = kProtocolVersion;
  std::vector<WidgetInfo> widgets;
  friend bool operator==(const InitializeResult&, const InitializeResult&) = default;
};

/// `relevance`'s result: a score, or nothing for the platform's default.
struct RelevanceResult {
  std::optional<double> score;
  friend bool operator==(const RelevanceResult&, const RelevanceResult&) = default;
};

/// Any method's result: `placeholder` and `snapshot` answer an EntryMessage.
using ResultMessage =
    std::variant<InitializeResult, EntryMessage, TimelineMessage, RelevanceResult>;

}  // namespace platform::widgets::protocol
