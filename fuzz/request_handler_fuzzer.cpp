// Any bytes as one message line: the handler answers with one JSON-RPC reply
// (or stays silent for a notification) and never crashes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>
#include <stdlib.h>

#include "extension/widget/velto_widget_bundle.hpp"
#include "platform/widgets/runtime/request_handler.hpp"

namespace {

const platform::widgets::RequestHandler& handler() {
  static const std::vector<platform::widgets::WidgetConfiguration> configurations = [] {
    std::vector<platform::widgets::WidgetConfiguration> list;
    for (const auto& widget : velto::widget::VeltoWidgetBundle().body()) {
      list.push_back(widget.body());
    }
    return list;
  }();
  static const platform::widgets::RequestHandler instance(configurations);
  return instance;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // An empty configuration home: every request sees the empty snapshot.
  std::string home = (std::filesystem::temp_directory_path() / "velto-fuzz-XXXXXX").string();
  if (::mkdtemp(home.data()) == nullptr || ::setenv("XDG_CONFIG_HOME", home.c_str(), 1) != 0) {
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto reply = handler().handle(line);
  if (reply) {
    const auto parsed = nlohmann::json::parse(*reply, nullptr, false);
    if (!parsed.is_object() || parsed.value("jsonrpc", "") != "2.0"
        || parsed.contains("result") == parsed.contains("error")) {
      std::abort();
    }
  }
  return 0;
}
