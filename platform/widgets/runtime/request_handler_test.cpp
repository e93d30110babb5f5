#include "platform/widgets/runtime/request_handler.hpp"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/elements.hpp"
#include "platform/widgets/runtime/line_transport.hpp"
#include "platform/widgets/runtime/widget_bundle.hpp"

namespace platform::widgets {
namespace {

using foundation::Date;

struct SampleEntry {
  Date date;
  int count;
};

/// A provider with fixed answers; a timeline of two entries, an hour's reload.
struct SampleProvider {
  using Entry = SampleEntry;
  Entry placeholder(const TimelineProviderContext&) const { return {Date(10), 0}; }
  void getSnapshot(const TimelineProviderContext& context, const Completion<Entry>& done) const {
    done({Date(20), context.isPreview ? 1 : 2});
  }
  void getTimeline(const TimelineProviderContext&, const Completion<Timeline<Entry>>& done) const {
    done(
        Timeline<Entry>({{Date(30), 3}, {Date(90.5), 4}}, TimelineReloadPolicy::after(Date(3630))));
  }
  void relevance(const Completion<WidgetRelevance>& done) const { done({0.5}); }
};

/// The content shows the entry's count and the family it was built for.
ui::View sampleContent(const SampleEntry& entry) {
  const auto family = EnvironmentScope::current().widgetFamily;
  return ui::Text::verbatim(std::to_string(entry.count) + " " + std::string(rawValue(family)));
}

std::vector<WidgetConfiguration> sampleConfigurations() {
  std::vector<WidgetConfiguration> list;
  list.push_back(StaticConfiguration("Sample", SampleProvider(), sampleContent)
                     .configurationDisplayName("Sample name")
                     .description("Sample text")
                     .supportedFamilies({WidgetFamily::systemMedium}));
  return list;
}

std::string textView(const char* text) {
  return R"({"root":{"content":{"kind":"verbatim","string":")" + std::string(text)
         + R"("},"modifiers":[],"type":"text"},"version":1})";
}

TEST(RequestHandler, AnswersEachMethodWithItsDocumentedShape) {
  const auto configurations = sampleConfigurations();
  const RequestHandler handler(configurations);
  struct Case {
    std::string request;
    std::string reply;
  };
  const Case cases[] = {
      {R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":1}})",
       R"({"id":1,"jsonrpc":"2.0","result":{"protocolVersion":1,"widgets":[{"description":"Sample text","displayName":"Sample name","kind":"Sample","supportedFamilies":["systemMedium"]}]}})"},
      {R"({"jsonrpc":"2.0","id":"p","method":"placeholder","params":{"kind":"Sample","family":"systemMedium"}})",
       R"({"id":"p","jsonrpc":"2.0","result":{"entry":{"date":10.0,"view":)"
           + textView("0 systemMedium") + "}}}"},
      {R"({"jsonrpc":"2.0","id":2,"method":"snapshot","params":{"kind":"Sample","family":"systemMedium","isPreview":true}})",
       R"({"id":2,"jsonrpc":"2.0","result":{"entry":{"date":20.0,"view":)"
           + textView("1 systemMedium") + "}}}"},
      {R"({"jsonrpc":"2.0","id":3,"method":"timeline","params":{"kind":"Sample","family":"systemMedium"}})",
       R"({"id":3,"jsonrpc":"2.0","result":{"entries":[{"date":30.0,"view":)"
           + textView("3 systemMedium") + R"(},{"date":90.5,"view":)" + textView("4 systemMedium")
           + R"(}],"policy":{"after":3630.0}}})"},
      {R"({"jsonrpc":"2.0","id":4,"method":"relevance","params":{"kind":"Sample"}})",
       R"({"id":4,"jsonrpc":"2.0","result":{"relevance":{"score":0.5}}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.reply, handler.handle(c.request).value_or("<none>"));
  }
}

TEST(RequestHandler, MalformedRequestsGetTheStandardErrors) {
  const auto configurations = sampleConfigurations();
  const RequestHandler handler(configurations);
  struct Case {
    std::string request;
    int code;
    std::string message;
    std::string id = "null";
  };
  const std::string deep = std::string(40, '[') + std::string(40, ']');
  // Which params are refused, and in what order, is the codec's (request_codec_test);
  // one missing param proves its errors reach the reply.
  const Case cases[] = {
      {"not json", -32700, "message is not JSON"},
      {"", -32700, "message is not JSON"},
      {std::string("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"x\"}\0garbage", 46), -32700,
       "message holds a NUL byte"},
      {"[1]", -32600, "message is not a JSON-RPC request object"},
      {deep, -32600, "message nests too deeply"},
      {R"({"jsonrpc":"1.0","id":1,"method":"initialize"})", -32600,
       R"(a request needs \"jsonrpc\": \"2.0\" and a string \"method\")", "1"},
      {R"({"jsonrpc":"2.0","id":1,"method":7})", -32600,
       R"(a request needs \"jsonrpc\": \"2.0\" and a string \"method\")", "1"},
      {R"({"jsonrpc":"2.0","id":[1],"method":"initialize"})", -32600,
       "id must be a string or an integer"},
      {R"({"jsonrpc":"2.0","id":1,"method":"render"})", -32601, "unknown method 'render'", "1"},
      {R"({"jsonrpc":"2.0","id":1,"method":"timeline","params":[1]})", -32602,
       "params must be an object", "1"},
      {R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})", -32602,
       "missing param 'protocolVersion'", "1"},
      {R"({"jsonrpc":"2.0","id":1,"method":"timeline","params":{"kind":"Other","family":"systemMedium"}})",
       -32602, "unknown widget kind 'Other'", "1"},
      {R"({"jsonrpc":"2.0","id":1,"method":"timeline","params":{"kind":"Sample","family":"huge"}})",
       -32602, "unknown widget family 'huge'", "1"},
      {R"({"jsonrpc":"2.0","id":1,"method":"timeline","params":{"kind":"Sample","family":"systemSmall"}})",
       -32602, "widget 'Sample' does not support the family 'systemSmall'", "1"},
  };
  for (const Case& c : cases) {
    const std::string expected = R"({"error":{"code":)" + std::to_string(c.code) + R"(,"message":")"
                                 + c.message + R"("},"id":)" + c.id + R"(,"jsonrpc":"2.0"})";
    EXPECT_EQ(expected, handler.handle(c.request).value_or("<none>")) << c.request;
  }
}

TEST(RequestHandler, NotificationsAreNeverAnswered) {
  const auto configurations = sampleConfigurations();
  const RequestHandler handler(configurations);
  for (
      const char* line :
      {R"({"jsonrpc":"2.0","method":"initialize","params":{"protocolVersion":1}})",
       R"({"jsonrpc":"2.0","method":"nope"})",
       R"({"jsonrpc":"2.0","method":"timeline","params":[1]})",
       R"({"jsonrpc":"2.0","method":"timeline","params":{"kind":"Other","family":"systemMedium"}})"}) {
    EXPECT_EQ(std::nullopt, handler.handle(line)) << line;
  }
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

TEST(ServeLoop, AnswersLineByLineUntilTheStreamEnds) {
  const auto configurations = sampleConfigurations();
  std::string input =
      R"({"jsonrpc":"2.0","id":1,"method":"relevance","params":{"kind":"Sample"}})"
      "\n"
      + std::string(kMaxMessageLine + 1, ' ') + "\n"
      + R"({"jsonrpc":"2.0","id":2,"method":"relevance","params":{"kind":"Sample"}})"
        "\n{\"jsonrpc\":\"2.0\",\"id\":3,\"meth";
  std::unique_ptr<std::FILE, FileCloser> in(fmemopen(input.data(), input.size(), "r"));
  char* output = nullptr;
  std::size_t size = 0;
  std::unique_ptr<std::FILE, FileCloser> out(open_memstream(&output, &size));
  serveWidgets(configurations, in.get(), out.get());
  out.reset();
  const std::string written(output, size);
  std::free(output);
  const std::string relevance = R"(,"jsonrpc":"2.0","result":{"relevance":{"score":0.5}}})";
  // The line cut off by the end of input is never answered.
  EXPECT_EQ(R"({"id":1)" + relevance + "\n" + RequestHandler::lineTooLongReply() + "\n"
                + R"({"id":2)" + relevance + "\n",
            written);
}

}  // namespace
}  // namespace platform::widgets
