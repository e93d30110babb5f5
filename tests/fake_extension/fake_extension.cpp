// A widget extension that misbehaves on purpose, so tests can watch the live
// host survive it. It speaks the host protocol well enough to be believed, then
// does what VELTO_FAKE_MODE says:
//
//   normal        answers every request
//   crash-start   dies before reading anything
//   crash-third   answers two requests, then aborts on the third
//   hang          answers initialize, then never again
//   huge-line     answers initialize, then writes a 10 MiB line
//   garbage       answers initialize, then writes lines that are not JSON
//   out-of-order  answers initialize, then answers pairs of requests in reverse
//   eof-early     answers initialize, then closes its output and exits
//   flood         answers initialize, then writes replies nobody asked for
//
// VELTO_FAKE_LATER_MODE, when set, applies from the second start on, counted in
// the file VELTO_FAKE_COUNTER. Timelines show "<VELTO_FAKE_LABEL> <start>.<request>".

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/foundation/clock.hpp"
#include "platform/ui/archive.hpp"
#include "platform/ui/view.hpp"

namespace {

using Json = nlohmann::json;

std::string environment(const char* name, const char* fallback = "") {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

// Counts this start in the counter file, if one is named; 1 for the first.
int countStart() {
  const std::string path = environment("VELTO_FAKE_COUNTER");
  if (path.empty()) {
    return 1;
  }
  int starts = 0;
  std::ifstream(path) >> starts;
  std::ofstream(path, std::ios::trunc) << ++starts;
  return starts;
}

Json entryOf(double date, const std::string& text) {
  return {{"date", date}, {"view", platform::ui::archive(platform::ui::Text::verbatim(text))}};
}

Json result(const Json& request, const std::string& label, int served) {
  const std::string method = request.value("method", "");
  const double now =
      platform::foundation::SystemClock::shared().now().timeIntervalSinceReferenceDate();
  if (method == "initialize") {
    return {{"protocolVersion", 1},
            {"widgets",
             {{{"kind", "FakeWidget"},
               {"displayName", "Fake"},
               {"description", "A fake widget."},
               {"supportedFamilies", {"systemSmall", "systemMedium"}}}}}};
  }
  if (method == "placeholder") {
    return {{"entry", entryOf(now, "placeholder")}};
  }
  return {{"entries", {entryOf(now, label + "." + std::to_string(served))}},
          {"policy", {{"after", now + 300}}}};
}

void reply(const Json& request, const Json& value) {
  std::cout
      << Json{{"jsonrpc", "2.0"}, {"id", request.value("id", Json())}, {"result", value}}.dump()
      << '\n'
      << std::flush;
}

}  // namespace

int main() {
  const int start = countStart();
  const std::string later = environment("VELTO_FAKE_LATER_MODE");
  const std::string mode =
      start > 1 && !later.empty() ? later : environment("VELTO_FAKE_MODE", "normal");
  const std::string label = environment("VELTO_FAKE_LABEL", "fake") + " " + std::to_string(start);
  if (mode == "crash-start") {
    std::abort();
  }
  std::vector<Json> held;
  int served = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    const Json request = Json::parse(line, nullptr, false);
    ++served;
    if (mode == "crash-third" && served == 3) {
      std::abort();
    }
    if (served == 1 || mode == "normal" || mode == "crash-third") {
      reply(request, result(request, label, served));
      continue;
    }
    if (mode == "hang") {
      continue;
    }
    if (mode == "huge-line") {
      std::cout << std::string(10 * 1024 * 1024, 'x') << '\n' << std::flush;
    } else if (mode == "garbage") {
      std::cout << "this is not json\n" << std::flush;
    } else if (mode == "out-of-order") {
      held.push_back(request);
      if (held.size() == 2) {
        reply(held[1], result(held[1], label, served));
        reply(held[0], result(held[0], label, served));
        held.clear();
      }
    } else if (mode == "eof-early") {
      std::fclose(stdout);
      return 0;
    } else if (mode == "flood") {
      for (;;) {
        std::cout << R"({"jsonrpc":"2.0","id":999999,"result":{}})" << '\n';
      }
    }
  }
  return 0;
}
