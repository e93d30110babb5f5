#include "host/live/extension_query.hpp"

#include <optional>
#include <utility>
#include <variant>

#include <glib.h>

#include "host/client/line_framer.hpp"
#include "host/client/rpc_client.hpp"
#include "host/live/child_process.hpp"
#include "host/live/timeout.hpp"

namespace velto::host::live {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::WidgetFamily;

/// The child, the bytes on their way, and the loop that waits for one reply.
struct ExtensionQuery::Connection {
  Connection() : context(g_main_context_new()), deadline(context) {}
  ~Connection() {
    deadline.cancel();
    child.reset();
    g_main_context_unref(context);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// Sends one request and runs the loop until its reply; yields its result.
  Expected<nlohmann::json, std::string> call(std::string_view method, nlohmann::json params);

  GMainContext* context;
  Timeout deadline;
  std::unique_ptr<ChildProcess> child;
  LineFramer framer;
  RpcClient rpc;
  std::optional<std::variant<RpcReply, std::string>> outcome;  // reply, or why none came
  std::optional<std::string> ended;                            // how the child ended, once it has
  WidgetDescription widget;
};

namespace {

std::chrono::steady_clock::time_point now() {
  return std::chrono::steady_clock::now();
}

}  // namespace

Expected<nlohmann::json, std::string> ExtensionQuery::Connection::call(std::string_view method,
                                                                       nlohmann::json params) {
  const std::string name(method);
  if (!child || ended) {
    return Unexpected("the extension has ended" + (ended ? " (it " + *ended + ")" : std::string()));
  }
  auto request = rpc.request(method, std::move(params), now());
  if (!request) {
    return Unexpected(request.error().reason);
  }
  outcome.reset();
  child->send(request->line);
  deadline.start(RpcClient::kReplyDeadline, [this] {
    if (!outcome) {
      outcome = "no reply within " + std::to_string(RpcClient::kReplyDeadline.count()) + " ms";
    }
  });
  while (!outcome && !ended) {
    g_main_context_iteration(context, TRUE);
  }
  deadline.cancel();
  if (!outcome) {
    // The child ended: the bytes it left have been read by now.
    outcome = std::string("the extension " + *ended + " before it answered");
  }
  if (auto* failure = std::get_if<std::string>(&*outcome)) {
    child->kill();
    return Unexpected("no answer to '" + name + "': " + *failure);
  }
  auto& reply = std::get<RpcReply>(*outcome);
  if (!reply.outcome) {
    return Unexpected("the extension refused '" + name + "': " + reply.outcome.error().message);
  }
  return std::move(*reply.outcome);
}

ExtensionQuery::ExtensionQuery(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}
ExtensionQuery::ExtensionQuery(ExtensionQuery&&) noexcept = default;
ExtensionQuery& ExtensionQuery::operator=(ExtensionQuery&&) noexcept = default;
ExtensionQuery::~ExtensionQuery() = default;

Expected<ExtensionQuery, std::string> ExtensionQuery::start(
    const std::filesystem::path& executable) {
  auto connection = std::make_unique<Connection>();
  Connection* self = connection.get();
  ChildEvents events{[self](std::string_view bytes) {
                       for (const FramedLine& line : self->framer.feed(bytes)) {
                         if (self->outcome) {
                           return;
                         }
                         if (line.kind == FramedLine::Kind::tooLong) {
                           self->outcome = std::string("a line longer than the protocol allows");
                           return;
                         }
                         auto received = self->rpc.receive(line.text, now());
                         if (auto* fault = std::get_if<RpcFault>(&received)) {
                           self->outcome = fault->reason;
                         } else {
                           self->outcome = std::move(std::get<RpcReply>(received));
                         }
                       }
                     },
                     [] {}, [self](int status) { self->ended = describeWaitStatus(status); }};
  auto child = ChildProcess::spawn(self->context, executable, std::move(events));
  if (!child) {
    return Unexpected("cannot run the extension: " + child.error().reason);
  }
  self->child = std::move(*child);
  const auto hello = self->call("initialize", initializeParams());
  if (!hello) {
    return Unexpected(hello.error());
  }
  auto declared = decodeInitialize(*hello);
  if (!declared) {
    return Unexpected(declared.error());
  }
  if (declared->widgets.empty()) {
    return Unexpected(std::string("the extension declares no widget"));
  }
  self->widget = std::move(declared->widgets.front());
  return ExtensionQuery(std::move(connection));
}

const WidgetDescription& ExtensionQuery::widget() const {
  return connection_->widget;
}

Expected<ViewEntry, std::string> ExtensionQuery::placeholder(WidgetFamily family) {
  const auto result =
      connection_->call("placeholder", widgetParams(connection_->widget.kind, family));
  if (!result) {
    return Unexpected(result.error());
  }
  auto entry = decodeEntryResult(*result);
  if (!entry) {
    return Unexpected(entry.error());
  }
  return std::move(*entry);
}

Expected<ViewTimeline, std::string> ExtensionQuery::timeline(WidgetFamily family) {
  const auto result = connection_->call("timeline", widgetParams(connection_->widget.kind, family));
  if (!result) {
    return Unexpected(result.error());
  }
  auto timeline = decodeTimeline(*result);
  if (!timeline) {
    return Unexpected(timeline.error());
  }
  return std::move(*timeline);
}

}  // namespace velto::host::live
