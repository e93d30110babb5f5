#include "host/session/host_request.hpp"

#include <utility>

#include <nlohmann/json.hpp>

#include "platform/foundation/json_parse.hpp"
#include "platform/foundation/utf8.hpp"

namespace velto::host::session {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

Expected<HostRequest, std::string> checkedRequest(std::vector<std::string> arguments) {
  if (arguments.size() > kMaxRequestArguments) {
    return Unexpected("more than " + std::to_string(kMaxRequestArguments) + " arguments");
  }
  for (const std::string& argument : arguments) {
    if (argument.find('\0') != std::string::npos) {
      return Unexpected(std::string("an argument holds a NUL byte"));
    }
    if (!platform::foundation::isValidUtf8(argument)) {
      return Unexpected(std::string("an argument is not UTF-8"));
    }
  }
  HostRequest request{std::move(arguments)};
  if (requestText(request).size() > kMaxRequestBytes) {
    return Unexpected("longer than " + std::to_string(kMaxRequestBytes) + " bytes");
  }
  return request;
}

std::string requestText(const HostRequest& request) {
  return nlohmann::json(request.placementArguments).dump();
}

Expected<HostRequest, std::string> parseRequestText(std::string_view text) {
  auto tree = platform::foundation::parseJson(text, {.maxBytes = kMaxRequestBytes, .maxDepth = 1});
  if (!tree) {
    return Unexpected(tree.error().message);
  }
  if (!tree->is_array()) {
    return Unexpected(std::string("not an array of arguments"));
  }
  if (tree->size() > kMaxRequestArguments) {
    return Unexpected("more than " + std::to_string(kMaxRequestArguments) + " arguments");
  }
  std::vector<std::string> arguments;
  for (const nlohmann::json& item : *tree) {
    if (!item.is_string()) {
      return Unexpected(std::string("an argument is not a string"));
    }
    arguments.push_back(item.get<std::string>());
  }
  return checkedRequest(std::move(arguments));
}

}  // namespace velto::host::session
