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
  if (options.defaultsFolder.empty() || options.defaultsFolder.is_relative()) {
    return Unexpected(std::string("no defaults folder to follow"));
  }
  std::unique_ptr<LiveHost> host(new LiveHost(context, backend, std::move(options), clock));
  for (std::size_t i = 0; i < host->options_.families.size(); ++i) {
    LiveHost* self = host.get();
    auto timer = WallClockTimer::create(context, [self, i](WallClockEvent event) {
      if (event == WallClockEvent::clockChanged && i < self->schedulers_.size()) {
        self->say("the wall clock changed");
        self->schedulers_[i].clockChanged();
      }
      self->drive(i);
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
  say("following the defaults folder " + options_.defaultsFolder.string());
  folderWatch_ = std::make_unique<FolderWatch>(context_, options_.defaultsFolder,
                                               outermostWatchedFolder(options_.defaultsFolder),
                                               [this] { defaultsChanged(); });
  act(supervisor_.start(monotonicNow()));
}

std::optional<pid_t> LiveHost::extensionPid() const {
  if (child_ && child_->running()) {
    return child_->pid();
  }
  return std::nullopt;
}

void LiveHost::say(const std::string& line) const {
  if (options_.log && !line.empty()) {
    options_.log(line);
  }
}

void LiveHost::act(const SupervisorAction& action) {
  if (action.giveUp) {
    restart_.cancel();
    child_.reset();
    if (options_.gaveUp) {
      options_.gaveUp(action.log);
    }
    return;
  }
  say(action.log);
  if (action.killProcessGroup && child_) {
    child_->kill();
  }
  if (action.spawn) {
    spawnChild();
  }
  if (action.restartAt) {
    restart_.start(until(*action.restartAt), [this] { act(supervisor_.wake(monotonicNow())); });
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
    act(child.error().cannotRun ? supervisor_.cannotRun(child.error().reason)
                                : supervisor_.spawnFailed(child.error().reason, monotonicNow()));
    return;
  }
  child_ = std::move(*child);
  ++started_;
  say("started the extension (pid " + std::to_string(child_->pid()) + ")");
  send("initialize", initializeParams(), std::nullopt);
}

void LiveHost::send(std::string_view method, nlohmann::json params,
                    std::optional<std::size_t> widget) {
  auto request = rpc_.request(method, std::move(params), monotonicNow());
  if (!request) {
    fault(request.error().reason);
    return;
  }
  if (widget) {
    requestWidget_[request->id] = *widget;
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
    auto& reply = std::get<RpcReply>(outcome);
    std::optional<std::size_t> widget;
    if (const auto found = requestWidget_.find(reply.id); found != requestWidget_.end()) {
      widget = found->second;
      requestWidget_.erase(found);
    }
    armDeadline();
    handle(reply, widget);
    if (childBroken_) {
      return;
    }
  }
}

void LiveHost::handle(const RpcReply& reply, std::optional<std::size_t> widget) {
  if (!reply.outcome) {
    const std::string reason =
        "the extension refused '" + reply.method + "': " + reply.outcome.error().message;
    if (reply.method == "timeline" && widget) {
      say(reason);
      schedulers_[*widget].reloadFailed();
      drive(*widget);
      return;
    }
    fault(reason);
    return;
  }
  if (reply.method == "initialize") {
    initialized(*reply.outcome);
    return;
  }
  if (!widget || *widget >= schedulers_.size()) {
    return;
  }
  if (reply.method == "placeholder") {
    auto entry = decodeEntryResult(*reply.outcome);
    if (!entry) {
      fault(entry.error());
      return;
    }
    schedulers_[*widget].placeholderArrived(std::move(*entry));
  } else if (reply.method == "timeline") {
    auto timeline = decodeTimeline(*reply.outcome);
    if (!timeline) {
      schedulers_[*widget].reloadFailed();
      fault(timeline.error());
      return;
    }
    say("a timeline of " + std::to_string(timeline->entries.size()) + " entries arrived for "
        + std::string(platform::widgets::rawValue(schedulers_[*widget].family())));
    schedulers_[*widget].timelineArrived(std::move(*timeline));
  }
  drive(*widget);
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
  act(supervisor_.childReady(monotonicNow()));
  say("the extension is ready (pid " + std::to_string(child_->pid()) + ")");
  const bool restarted = !schedulers_.empty();
  if (!restarted) {
    kind_ = hello->widgets.front().kind;
    for (const auto family : options_.families) {
      schedulers_.emplace_back(kind_, family);
    }
    links_.resize(schedulers_.size());
  }
  for (std::size_t i = 0; i < schedulers_.size(); ++i) {
    if (!schedulers_[i].showing()) {
      send("placeholder", widgetParams(kind_, schedulers_[i].family()), i);
    }
    // A new process may see a newer snapshot than the one the timeline kept.
    if (restarted) {
      schedulers_[i].defaultsChanged();
    }
  }
  driveAll();
}

void LiveHost::childExited(int waitStatus) {
  const std::string status = describeWaitStatus(waitStatus);
  replyDeadline_.cancel();
  lostRequests(rpc_.reset());
  framer_.finish();
  childReady_ = false;
  // Called from the child's own watch, which touches nothing after this.
  child_.reset();
  act(supervisor_.childExited(status, monotonicNow()));
}

void LiveHost::fault(std::string reason) {
  if (childBroken_) {
    return;
  }
  childBroken_ = true;
  childReady_ = false;
  replyDeadline_.cancel();
  lostRequests(rpc_.reset());
  act(supervisor_.protocolFault(reason, monotonicNow()));
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
  act(supervisor_.replyTimedOut(late.front().method, monotonicNow()));
}

void LiveHost::lostRequests(const std::vector<RpcTimeout>& lost) {
  for (const RpcTimeout& request : lost) {
    const auto found = requestWidget_.find(request.id);
    if (found == requestWidget_.end()) {
      continue;
    }
    const std::size_t widget = found->second;
    requestWidget_.erase(found);
    if (request.method == "timeline" && widget < schedulers_.size()) {
      schedulers_[widget].reloadFailed();
    }
  }
}

void LiveHost::defaultsChanged() {
  say("the defaults changed");
  for (auto& scheduler : schedulers_) {
    scheduler.defaultsChanged();
  }
  driveAll();
}

void LiveHost::driveAll() {
  for (std::size_t i = 0; i < schedulers_.size(); ++i) {
    drive(i);
  }
}

void LiveHost::drive(std::size_t widget) {
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
      links_[widget] = scheduler.scene().redacted ? std::vector<std::string>{}
                                                  : linkDestinations(scheduler.scene().view);
      offerLinks();
      break;
    case SchedulerStep::Draw::tick:
      backend_.tick(step.instant);
      break;
  }
  if (step.reload) {
    if (childReady_) {
      say(std::string("asking for a timeline (") + std::string(name(*step.reload)) + ")");
      send("timeline", widgetParams(kind_, scheduler.family()), widget);
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
  for (const auto& links : links_) {
    all.insert(all.end(), links.begin(), links.end());
  }
  linkOpener_.offer(std::move(all));
}

bool LiveHost::openLink(std::string_view url) {
  say("opening " + std::string(url));
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
