#include "platform/widgets/protocol/internal/json_values.hpp"

#include <cmath>
#include <limits>

#include "platform/foundation/overloaded.hpp"

namespace platform::widgets::protocol::internal {

using Json = nlohmann::json;

Json idJson(const RequestId& id) {
  return std::visit(foundation::overloaded{
                        [](std::nullptr_t) { return Json(nullptr); },
                        [](std::int64_t number) { return Json(number); },
                        [](std::uint64_t number) { return Json(number); },
                        [](const std::string& text) { return Json(text); },
                    },
                    id);
}

std::optional<RequestId> idFromJson(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return RequestId(nullptr);
    case Json::value_t::string:
      return RequestId(value.get<std::string>());
    case Json::value_t::number_integer:
      return RequestId(value.get<std::int64_t>());
    case Json::value_t::number_unsigned: {
      // The parser reads every non-negative integer as unsigned; ids compare by value.
      const auto number = value.get<std::uint64_t>();
      if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return RequestId(static_cast<std::int64_t>(number));
      }
      return RequestId(number);
    }
    case Json::value_t::object:
    case Json::value_t::array:
    case Json::value_t::boolean:
    case Json::value_t::number_float:
    case Json::value_t::binary:
    case Json::value_t::discarded:
      return std::nullopt;
  }
  return std::nullopt;
}

Json dateJson(foundation::Date date) {
  const double seconds = date.timeIntervalSinceReferenceDate();
  return std::isfinite(seconds) ? Json(seconds) : Json(nullptr);
}

std::string lineOf(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace platform::widgets::protocol::internal
