#include "host/live/blocking_extension.hpp"

#include <optional>
#include <utility>
#include <variant>

#include <glib.h>

#include "host/client/line_framer.hpp"
#include "host/live/child_process.hpp"
#include "host/live/timeout.hpp"

namespace velto::host::live {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

namespace {

// How long an extension whose input closed may take to end on its own when it
// is finished; generous, for a sanitizer's exit report takes a while.
constexpr std::chrono::milliseconds kFinishGrace{2000};

std::chrono::steady_clock::time_point now() {
  return std::chrono::steady_clock::now();
}

std::string inQuotes(std::string_view method) {
  return "'" + std::string(method) + "'";
}

}  // namespace

/// The child, the bytes on their way, and the loop that waits for one reply.
struct BlockingExtension::Connection {
  explicit Connection(std::chrono::milliseconds deadline)
      : context(g_main_context_new()), timer(context), replyDeadline(deadline), rpc(deadline) {}
  ~Connection() {
    timer.cancel();
    child.reset();
    g_main_context_unref(context);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// Frames what the child wrote and matches it to the request pending.
  void take(std::string_view bytes);
  /// Ends the conversation: later asks fail at once, and the child is killed.
  Unexpected<std::string> fail(std::string why);

  GMainContext* context;
  Timeout timer;
  std::chrono::milliseconds replyDeadline;
  std::unique_ptr<ChildProcess> child;
  LineFramer framer;
  RpcClient rpc;
  std::optional<RpcReply> reply;
  std::optional<std::string> fault;  // a line that broke the protocol
  std::optional<std::string> ended;  // how the child ended, once it has
  bool finished = false;             // nothing more is asked
};

void BlockingExtension::Connection::take(std::string_view bytes) {
  for (FramedLine& line : framer.feed(bytes)) {
    if (finished || fault) {
      return;
    }
    if (line.kind == FramedLine::Kind::tooLong) {
      fault = "the extension wrote a line longer than the protocol allows";
      return;
    }
    auto received = rpc.receive(line.text, now());
    if (auto* broken = std::get_if<RpcFault>(&received)) {
      fault = std::move(broken->reason);
    } else {
      reply = std::move(std::get<RpcReply>(received));
    }
  }
}

Unexpected<std::string> BlockingExtension::Connection::fail(std::string why) {
  finished = true;
  child->kill();
  return Unexpected(std::move(why));
}

BlockingExtension::BlockingExtension(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}
BlockingExtension::BlockingExtension(BlockingExtension&&) noexcept = default;
BlockingExtension& BlockingExtension::operator=(BlockingExtension&&) noexcept = default;
BlockingExtension::~BlockingExtension() = default;

Expected<BlockingExtension, std::string> BlockingExtension::start(
    const std::filesystem::path& executable, std::chrono::milliseconds replyDeadline) {
  auto connection = std::make_unique<Connection>(replyDeadline);
  Connection* self = connection.get();
  ChildEvents events{[self](std::string_view bytes) { self->take(bytes); }, [] {},
                     [self](int status) { self->ended = describeWaitStatus(status); }};
  auto child = ChildProcess::spawn(self->context, executable, std::move(events));
  if (!child) {
    return Unexpected("cannot run the extension: " + child.error().reason);
  }
  self->child = std::move(*child);
  return BlockingExtension(std::move(connection));
}

Expected<nlohmann::json, std::string> BlockingExtension::ask(std::string_view method,
                                                             nlohmann::json params) {
  Connection& c = *connection_;
  if (c.finished) {
    return Unexpected("the extension is no longer running, so it was not asked "
                      + inQuotes(method));
  }
  if (c.fault) {
    return c.fail(*c.fault);
  }
  auto request = c.rpc.request(method, std::move(params), now());
  if (!request) {
    return c.fail(request.error().reason);
  }
  c.reply.reset();
  // A child that stopped reading may still answer or end; the deadline covers the rest.
  c.child->send(request->line);
  bool late = false;
  c.timer.start(c.replyDeadline, [&late] { late = true; });
  while (!c.reply && !c.fault && !c.ended && !late) {
    g_main_context_iteration(c.context, TRUE);
  }
  c.timer.cancel();
  if (c.fault && !c.reply) {
    return c.fail(*c.fault);
  }
  if (!c.reply) {
    // An ended child's last bytes have been read by now, so its end is the reason.
    const std::string missing =
        late ? "no reply within " + std::to_string(c.replyDeadline.count()) + " ms"
             : "the extension " + *c.ended + " before it answered";
    return c.fail("no answer to " + inQuotes(method) + ": " + missing);
  }
  auto outcome = std::move(c.reply->outcome);
  c.reply.reset();
  if (!outcome) {
    return c.fail("the extension refused " + inQuotes(method) + ": " + outcome.error().message);
  }
  return std::move(*outcome);
}

std::string BlockingExtension::finish() {
  Connection& c = *connection_;
  c.finished = true;
  c.child->closeInput();
  c.timer.start(kFinishGrace, [&c] { c.child->kill(); });
  while (!c.ended) {
    g_main_context_iteration(c.context, TRUE);
  }
  c.timer.cancel();
  return *c.ended;
}

pid_t BlockingExtension::pid() const {
  return connection_->child->pid();
}

}  // namespace velto::host::live
