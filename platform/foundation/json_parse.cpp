#include "platform/foundation/json_parse.hpp"

#include <set>
#include <utility>
#include <vector>

#include "platform/foundation/json_text.hpp"
#include "platform/foundation/utf8.hpp"

namespace platform::foundation {

using Json = nlohmann::json;
using Code = JsonParseError::Code;

namespace {

Unexpected<JsonParseError> refusal(Code code, std::string message) {
  return Unexpected(JsonParseError{code, std::move(message)});
}

// The library prefixes its messages with its own error id, which tells a person nothing.
std::string syntaxMessage(const Json::exception& error) {
  std::string_view text = error.what();
  if (const auto end = text.find("] ");
      text.starts_with("[json.exception.") && end != std::string_view::npos) {
    text.remove_prefix(end + 2);
  }
  // A quoted token in the message may hold bytes that are not UTF-8.
  std::string quoted = jsonQuoted(text);
  return "not JSON: " + quoted.substr(1, quoted.size() - 2);
}

}  // namespace

std::optional<JsonParseError> refuseNulBytes(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) {
    return JsonParseError{Code::nulByte, "the text holds a NUL byte"};
  }
  return std::nullopt;
}

Expected<Json, JsonParseError> parseJson(std::string_view bytes, JsonLimits limits) {
  if (bytes.size() > limits.maxBytes) {
    return refusal(Code::tooLarge,
                   "the text is over " + std::to_string(limits.maxBytes) + " bytes");
  }
  // The parser would take a NUL byte for the end of the text.
  if (auto nul = refuseNulBytes(bytes)) {
    return Unexpected(std::move(*nul));
  }
  std::optional<JsonParseError> refused;
  std::vector<std::set<std::string, std::less<>>> keysOfOpenObjects;
  // Refusing a value here discards it, but parsing goes on to the end of the
  // text; the parser keeps its own stack, so depth costs no recursion.
  const Json::parser_callback_t guard = [&](int depth, Json::parse_event_t event, Json& parsed) {
    if (refused) {
      return false;
    }
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        // `depth` counts the containers already open around this one.
        if (depth >= limits.maxDepth) {
          refused = JsonParseError{Code::tooDeep, "the text nests deeper than "
                                                      + std::to_string(limits.maxDepth)
                                                      + " arrays and objects"};
          return false;
        }
        if (event == Json::parse_event_t::object_start) {
          keysOfOpenObjects.emplace_back();
        }
        return true;
      case Json::parse_event_t::key:
        if (!keysOfOpenObjects.back().insert(parsed.get_ref<const std::string&>()).second) {
          refused =
              JsonParseError{Code::duplicateKey,
                             "an object holds the key "
                                 + jsonQuoted(parsed.get_ref<const std::string&>()) + " twice"};
          return false;
        }
        return true;
      case Json::parse_event_t::object_end:
        keysOfOpenObjects.pop_back();
        return true;
      case Json::parse_event_t::array_end:
      case Json::parse_event_t::value:
        return true;
    }
    return true;
  };
  Json document;
  try {
    document = Json::parse(bytes.begin(), bytes.end(), guard, /*allow_exceptions=*/true,
                           /*ignore_comments=*/false);
  } catch (const Json::exception& error) {
    if (refused) {
      return Unexpected(std::move(*refused));
    }
    return refusal(Code::syntax, syntaxMessage(error));
  }
  if (refused) {
    return Unexpected(std::move(*refused));
  }
  return document;
}

}  // namespace platform::foundation
