#include "platform/widgets/protocol/reply_codec.hpp"

#include <utility>

#include "platform/foundation/json_parse.hpp"
#include "platform/foundation/overloaded.hpp"
#include "platform/foundation/printable_text.hpp"
#include "platform/ui/archive.hpp"
#include "platform/widgets/protocol/internal/json_values.hpp"

namespace platform::widgets::protocol {

using foundation::Expected;
using foundation::Unexpected;
using Json = nlohmann::json;

namespace {

// A reply wraps a view archive in at most four levels: the reply, its result,
// the entries and one entry.
constexpr int kMaxReplyDepth = 4 + ui::kMaxJsonDepth;

Json entryJson(const EntryMessage& entry) {
  return {{"date", internal::dateJson(entry.date)}, {"view", ui::archive(entry.view)}};
}

Json policyJson(const TimelineReloadPolicy& policy) {
  switch (policy.kind()) {
    case TimelineReloadPolicy::Kind::atEnd:
      return {{"atEnd", true}};
    case TimelineReloadPolicy::Kind::after:
      return {{"after", internal::dateJson(*policy.date())}};
    case TimelineReloadPolicy::Kind::never:
      return {{"never", true}};
  }
  return nullptr;
}

Json resultJson(const ResultMessage& result) {
  return std::visit(
      foundation::overloaded{
          [](const InitializeResult& hello) {
            Json widgets = Json::array();
            for (const WidgetInfo& widget : hello.widgets) {
              Json families = Json::array();
              for (const WidgetFamily family : widget.supportedFamilies) {
                families.push_back(rawValue(family));
              }
              widgets.push_back({{"kind", widget.kind},
                                 {"displayName", widget.displayName},
                                 {"description", widget.description},
                                 {"supportedFamilies", std::move(families)}});
            }
            return Json{{"protocolVersion", hello.protocolVersion},
                        {"widgets", std::move(widgets)}};
          },
          [](const EntryMessage& entry) {
            return Json{{"entry", entryJson(entry)}};
          },
          [](const TimelineMessage& timeline) {
            Json entries = Json::array();
            for (const EntryMessage& entry : timeline.entries) {
              entries.push_back(entryJson(entry));
            }
            return Json{{"entries", std::move(entries)}, {"policy", policyJson(timeline.policy)}};
          },
          [](const RelevanceResult& relevance) {
            return Json{
                {"relevance", relevance.score ? Json{{"score", *relevance.score}} : Json(nullptr)}};
          },
      },
      result);
}

Unexpected<ReplyError> malformed(const std::string& what) {
  return Unexpected(ReplyError{"is malformed: " + what});
}

Expected<foundation::Date, ReplyError> dateOf(const Json& value) {
  if (!value.is_number()) {
    return malformed("a date is not a number");
  }
  return foundation::Date(value.get<double>());
}

Expected<EntryMessage, ReplyError> entryOf(const Json& value) {
  if (!value.is_object() || !value.contains("date") || !value.contains("view")) {
    return malformed("an entry is not {\"date\", \"view\"}");
  }
  const auto date = dateOf(value.at("date"));
  if (!date) {
    return Unexpected(date.error());
  }
  auto view = ui::unarchive(value.at("view"));
  if (!view) {
    const auto& error = view.error();
    return malformed("its view tree does not parse ("
                     + foundation::printableText(
                         (error.path.empty() ? std::string() : error.path + ": ") + error.message)
                     + ")");
  }
  return EntryMessage{*date, std::move(*view)};
}

Expected<TimelineReloadPolicy, ReplyError> policyOf(const Json& value) {
  if (value.is_object() && value.size() == 1) {
    if (const auto after = value.find("after"); after != value.end()) {
      const auto date = dateOf(*after);
      if (!date) {
        return Unexpected(date.error());
      }
      return TimelineReloadPolicy::after(*date);
    }
    if (const auto atEnd = value.find("atEnd"); atEnd != value.end() && *atEnd == true) {
      return TimelineReloadPolicy::atEnd();
    }
    if (const auto never = value.find("never"); never != value.end() && *never == true) {
      return TimelineReloadPolicy::never();
    }
  }
  return malformed("its policy is none of after, atEnd and never");
}

Expected<WidgetInfo, ReplyError> widgetOf(const Json& value) {
  if (!value.is_object()) {
    return malformed("a widget is not an object");
  }
  WidgetInfo widget;
  for (auto [field, target] :
       {std::pair{"kind", &widget.kind}, std::pair{"displayName", &widget.displayName},
        std::pair{"description", &widget.description}}) {
    const auto found = value.find(field);
    if (found == value.end() || !found->is_string()) {
      return malformed(std::string("the widget has no string '") + field + "'");
    }
    *target = found->get<std::string>();
  }
  const auto families = value.find("supportedFamilies");
  if (families == value.end() || !families->is_array()) {
    return malformed("the widget lists no families");
  }
  for (const Json& name : *families) {
    const auto family =
        name.is_string() ? widgetFamilyFromRawValue(name.get<std::string>()) : std::nullopt;
    if (!family) {
      return malformed("the widget names an unknown family");
    }
    widget.supportedFamilies.push_back(*family);
  }
  return widget;
}

/// The member `name` of an object result, or nothing.
const Json* resultMember(const Json& result, const char* name) {
  if (!result.is_object()) {
    return nullptr;
  }
  const auto found = result.find(name);
  return found == result.end() ? nullptr : &*found;
}

}  // namespace

std::string encodeResult(const RequestId& id, const ResultMessage& result) {
  return internal::lineOf(
      {{"jsonrpc", "2.0"}, {"id", internal::idJson(id)}, {"result", resultJson(result)}});
}

std::string encodeError(const RequestId& id, const RpcError& error) {
  return internal::lineOf({{"jsonrpc", "2.0"},
                           {"id", internal::idJson(id)},
                           {"error", {{"code", error.code}, {"message", error.message}}}});
}

Expected<Reply, ReplyError> decodeReply(std::string_view line) {
  const auto parsed = foundation::parseJson(line, {kMaxMessageLine, kMaxReplyDepth});
  if (!parsed) {
    return Unexpected(ReplyError{"is not a JSON object: " + parsed.error().message});
  }
  const Json& reply = *parsed;
  if (!reply.is_object()) {
    return Unexpected(ReplyError{"is not a JSON object"});
  }
  const auto version = reply.find("jsonrpc");
  const auto idField = reply.find("id");
  std::optional<RequestId> id;
  if (idField != reply.end()) {
    id = internal::idFromJson(*idField);
  }
  if (version == reply.end() || *version != "2.0" || !id) {
    return Unexpected(ReplyError{"is not a JSON-RPC 2.0 reply"});
  }
  const auto result = reply.find("result");
  const auto error = reply.find("error");
  if (result != reply.end() && error != reply.end()) {
    return Unexpected(ReplyError{"holds both a result and an error"});
  }
  if (error != reply.end()) {
    const Json* code = resultMember(*error, "code");
    const Json* message = resultMember(*error, "message");
    if (code == nullptr || !code->is_number_integer() || message == nullptr
        || !message->is_string()) {
      return Unexpected(ReplyError{"holds an error without an integer code and a string message"});
    }
    const std::int64_t number =
        code->is_number_unsigned() ? std::int64_t{-1} : code->get<std::int64_t>();
    return Reply{
        std::move(*id),
        Unexpected(RpcError{number, foundation::printableText(message->get<std::string>())})};
  }
  if (result == reply.end()) {
    return Unexpected(ReplyError{"has no result"});
  }
  return Reply{std::move(*id), *result};
}

Expected<InitializeResult, ReplyError> decodeInitializeResult(const Json& result) {
  const Json* widgets = resultMember(result, "widgets");
  if (widgets == nullptr || !widgets->is_array() || widgets->empty()) {
    return malformed("it lists no widget");
  }
  const Json* version = resultMember(result, "protocolVersion");
  if (version == nullptr || *version != kProtocolVersion) {
    return malformed("it does not speak protocol version " + std::to_string(kProtocolVersion));
  }
  InitializeResult decoded{kProtocolVersion, {}};
  for (const Json& value : *widgets) {
    auto widget = widgetOf(value);
    if (!widget) {
      return Unexpected(widget.error());
    }
    decoded.widgets.push_back(std::move(*widget));
  }
  return decoded;
}

Expected<EntryMessage, ReplyError> decodeEntryResult(const Json& result) {
  const Json* entry = resultMember(result, "entry");
  if (entry == nullptr) {
    return malformed("it holds no entry");
  }
  return entryOf(*entry);
}

Expected<TimelineMessage, ReplyError> decodeTimelineResult(const Json& result) {
  const Json* entries = resultMember(result, "entries");
  const Json* policyField = resultMember(result, "policy");
  if (entries == nullptr || !entries->is_array() || policyField == nullptr) {
    return malformed("it is not {\"entries\", \"policy\"}");
  }
  const auto policy = policyOf(*policyField);
  if (!policy) {
    return Unexpected(policy.error());
  }
  TimelineMessage timeline{{}, *policy};
  timeline.entries.reserve(entries->size());
  for (const Json& value : *entries) {
    auto entry = entryOf(value);
    if (!entry) {
      return Unexpected(entry.error());
    }
    timeline.entries.push_back(std::move(*entry));
  }
  return timeline;
}

Expected<RelevanceResult, ReplyError> decodeRelevanceResult(const Json& result) {
  const Json* relevance = resultMember(result, "relevance");
  if (relevance == nullptr) {
    return malformed("it holds no relevance");
  }
  if (relevance->is_null()) {
    return RelevanceResult{};
  }
  const Json* score = resultMember(*relevance, "score");
  if (score == nullptr || !score->is_number() || relevance->size() != 1) {
    return malformed("its relevance is neither null nor {\"score\": number}");
  }
  return RelevanceResult{score->get<double>()};
}

}  // namespace platform::widgets::protocol
