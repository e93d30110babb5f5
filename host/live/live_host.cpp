#include "host/live/live_host.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <variant>

#include <signal.h>
#include <sys/wait.h>

#include "host/client/replies.hpp"

namespace velto::host::live {

using platform::foundation::Clock;
using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
namespace protocol = platform::widgets::protocol;

namespace {

std::chrono::steady_clock::time_point monotonicNow() {
  return std::chrono::steady_clock::now();
}

std::chrono::milliseconds until(std::chrono::steady_clock::time_point instant) {
  return std::max(std::chrono::milliseconds(0),
                  std::chrono::ceil<std::chrono::milliseconds>(instant - monotonicNow()));
}

}  // namespace

Expected<std::unique_ptr<LiveHost>, std::string> LiveHost::create(GMainContext* context,
                                                                  Backend& backend,
                                                                  LiveOptions options,
                                                                  const Clock& clock) {
  if (options.families.empty()) {
    return Unexpected(std::string("no widget to show"));
  }
  const auto& families = options.families;
  for (auto family = families.begin(); family != families.end(); ++family) {
    // Replies find their widget by family.
    if (std::find(std::next(family), families.end(), *family) != families.end()) {
      return Unexpected("the family " + std::string(platform::widgets::rawValue(*family))
                        + " is asked for twice");
    }
  }
  if (options.defaultsFolder.empty() || options.defaultsFolder.is_relative()) {
    return Unexpected(std::string("no defaults folder to follow"));
  }
  std::unique_ptr<LiveHost> host(new LiveHost(context, backend, std::move(options), clock));
  for (std::size_t i = 0; i < host->options_.families.size(); ++i) {
    LiveHost* self = host.get();
    auto timer = WallClockTimer::create(context, [self, i](WallClockEvent event) {
      if (event == WallClockEvent::clockChanged && i < self->schedulers_.size()) {
        self->log("the wall clock changed");
        self->schedulers_[i].clockChanged();
      }
      self->advanceWidget(i);
    });
    if (!timer) {
      return Unexpected(timer.error());
    }
    host->wakeTimers_.push_back(std::move(*timer));
  }
  return host;
}

LiveHost::LiveHost(GMainContext* context, Backend& backend, LiveOptions options, const Clock& clock)
    : context_(context),
      backend_(backend),
      options_(std::move(options)),
      clock_(clock),
      replyDeadline_(context),
      restart_(context),
      linkOpener_(context, backend, options_.launch) {}

LiveHost::~LiveHost() {
  folderWatch_.reset();
  replyDeadline_.cancel();
  restart_.cancel();
  supervisor_.stop();
  child_.reset();
}

void LiveHost::start() {
  log("following the defaults folder " + options_.defaultsFolder.string());
  folderWatch_ = std::make_unique<FolderWatch>(context_, options_.defaultsFolder,
                                               outermostWatchedFolder(options_.defaultsFolder),
                                               [this] { defaultsChanged(); });
  carryOut(supervisor_.start(monotonicNow()));
}

std::optional<pid_t> LiveHost::extensionPid() const {
  if (child_ && child_->running()) {
    return child_->pid();
  }
  return std::nullopt;
}

void LiveHost::log(const std::string& line) const {
  if (options_.log && !line.empty()) {
    options_.log(line);
  }
}

void LiveHost::carryOut(const SupervisorAction& action) {
  if (action.giveUp) {
    restart_.cancel();
    child_.reset();
    if (options_.gaveUp) {
      options_.gaveUp(action.log);
    }
    return;
  }
  log(action.log);
  if (action.killProcessGroup && child_) {
    child_->kill();
  }
  if (action.spawn) {
    spawnChild();
  }
  if (action.restartAt) {
    restart_.start(until(*action.restartAt),
                   [this] { carryOut(supervisor_.wake(monotonicNow())); });
  }
}

void LiveHost::spawnChild() {
  child_.reset();
  lostRequests(rpc_.reset());
  framer_.finish();
  childBroken_ = false;
  childReady_ = false;
  ChildEvents events{[this](std::string_view bytes) { received(bytes); },
                     [this] { framer_.finish(); }, [this](int status) { childExited(status); }};
  auto child = ChildProcess::spawn(context_, options_.extension, std::move(events));
  if (!child) {
    carryOut(child.error().cannotRun
                 ? supervisor_.cannotRun(child.error().reason)
                 : supervisor_.spawnFailed(child.error().reason, monotonicNow()));
    return;
  }
  child_ = std::move(*child);
  ++started_;
  log("started the extension (pid " + std::to_string(child_->pid()) + ")");
  send(protocol::InitializeParams{});
}

void LiveHost::send(const protocol::RequestParams& params) {
  auto request = rpc_.request(params, monotonicNow());
  if (!request) {
    fault(request.error().reason);
    return;
  }
  if (!child_ || !child_->send(request->line)) {
    fault("the extension does not take its requests");
    return;
  }
  armDeadline();
}

void LiveHost::armDeadline() {
  if (const auto deadline = rpc_.nextDeadline()) {
    replyDeadline_.start(until(*deadline), [this] { deadlinePassed(); });
  } else {
    replyDeadline_.cancel();
  }
}

void LiveHost::received(std::string_view bytes) {
  if (childBroken_) {
    return;
  }
  for (FramedLine& line : framer_.feed(bytes)) {
    if (line.kind == FramedLine::Kind::tooLong) {
      fault("the extension wrote a line longer than the protocol allows");
      return;
    }
    auto outcome = rpc_.receive(line.text, monotonicNow());
    if (auto* broken = std::get_if<RpcFault>(&outcome)) {
      fault(broken->reason);
      return;
    }
    armDeadline();
    replied(std::get<RpcReply>(outcome));
    if (childBroken_) {
      return;
    }
  }
}

void LiveHost::initialized(const nlohmann::json& result) {
  auto hello = decodeInitialize(result);
  if (!hello) {
    fault(hello.error());
    return;
  }
  if (hello->widgets.empty()) {
    fault("the extension declares no widget");
    return;
  }
  childReady_ = true;
  carryOut(supervisor_.childReady(monotonicNow()));
  log("the extension is ready (pid " + std::to_string(child_->pid()) + ")");
  const bool restarted = !schedulers_.empty();
  if (!restarted) {
    kind_ = hello->widgets.front().kind;
    for (const auto family : options_.families) {
      schedulers_.emplace_back(kind_, family);
    }
  }
  for (std::size_t i = 0; i < schedulers_.size(); ++i) {
    if (!schedulers_[i].showing()) {
      send(protocol::PlaceholderParams{kind_, schedulers_[i].family()});
    }
    // A new process may see a newer snapshot than the one the timeline kept.
    if (restarted) {
      schedulers_[i].defaultsChanged();
    }
  }
  advanceAllWidgets();
}

void LiveHost::childExited(int waitStatus) {
  const std::string status = describeWaitStatus(waitStatus);
  replyDeadline_.cancel();
  lostRequests(rpc_.reset());
  framer_.finish();
  childReady_ = false;
  // Called from the child's own watch, which touches nothing after this.
  child_.reset();
  carryOut(supervisor_.childExited(status, monotonicNow()));
}

void LiveHost::fault(std::string reason) {
  if (childBroken_) {
    return;
  }
  childBroken_ = true;
  childReady_ = false;
  replyDeadline_.cancel();
  lostRequests(rpc_.reset());
  carryOut(supervisor_.protocolFault(reason, monotonicNow()));
}

void LiveHost::deadlinePassed() {
  const auto late = rpc_.expire(monotonicNow());
  if (late.empty()) {
    armDeadline();
    return;
  }
  childBroken_ = true;
  childReady_ = false;
  lostRequests(late);
  lostRequests(rpc_.reset());
  carryOut(supervisor_.replyTimedOut(late.front().method, monotonicNow()));
}

void LiveHost::defaultsChanged() {
  log("the defaults changed");
  for (auto& scheduler : schedulers_) {
    scheduler.defaultsChanged();
  }
  advanceAllWidgets();
}

void LiveHost::advanceAllWidgets() {
  for (std::size_t i = 0; i < schedulers_.size(); ++i) {
    advanceWidget(i);
  }
}

void LiveHost::advanceWidget(std::size_t widget) {
  if (widget >= schedulers_.size()) {
    return;
  }
  WidgetScheduler& scheduler = schedulers_[widget];
  const SchedulerStep step = scheduler.advance(clock_.now());
  switch (step.draw) {
    case SchedulerStep::Draw::none:
      break;
    case SchedulerStep::Draw::show:
      backend_.show(scheduler.scene(), step.instant);
      offerLinks();
      break;
    case SchedulerStep::Draw::tick:
      backend_.tick(step.instant);
      break;
  }
  if (step.reload) {
    if (childReady_) {
      log(std::string("asking for a timeline (") + std::string(name(*step.reload)) + ")");
      send(protocol::TimelineParams{kind_, scheduler.family()});
    } else {
      // Asked again once the next extension is ready.
      scheduler.reloadFailed();
    }
  }
  if (step.wakeAt) {
    wakeTimers_[widget]->arm(*step.wakeAt);
  } else {
    wakeTimers_[widget]->disarm();
  }
}

void LiveHost::offerLinks() {
  std::vector<std::string> all;
  for (const auto& scheduler : schedulers_) {
    if (scheduler.showing()) {
      const auto& links = scheduler.scene().links;
      all.insert(all.end(), links.begin(), links.end());
    }
  }
  linkOpener_.offer(std::move(all));
}

bool LiveHost::openLink(std::string_view url) {
  log("opening " + std::string(url));
  return linkOpener_.open(url);
}

void LiveHost::redraw() {
  for (std::size_t i = 0; i < schedulers_.size(); ++i) {
    if (schedulers_[i].showing()) {
      // Readouts change on whole seconds; draw as of the one that has begun.
      const double now = clock_.now().timeIntervalSinceReferenceDate();
      backend_.show(schedulers_[i].scene(), Date(std::floor(now)));
    }
  }
}

}  // namespace velto::host::live
