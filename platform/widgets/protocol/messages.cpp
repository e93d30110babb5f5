#include "platform/widgets/protocol/messages.hpp"

#include "platform/foundation/overloaded.hpp"

namespace platform::widgets::protocol {

std::string_view methodName(const RequestParams& params) {
  return std::visit(foundation::overloaded{
                        [](const InitializeParams&) { return std::string_view("initialize"); },
                        [](const PlaceholderParams&) { return std::string_view("placeholder"); },
                        [](const SnapshotParams&) { return std::string_view("snapshot"); },
                        [](const TimelineParams&) { return std::string_view("timeline"); },
                        [](const RelevanceParams&) { return std::string_view("relevance"); },
                    },
                    params);
}

}  // namespace platform::widgets::protocol
