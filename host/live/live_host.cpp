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
                                                                  LiveOptions options,
                                                                  const Clock& clock) {
  if (options.defaultsFolder.empty() || options.defaultsFolder.is_relative()) {
    return Unexpected(std::string("no defaults folder to follow"));
  }
  std::unique_ptr<LiveHost> host(new LiveHost(context, std::move(options), clock));
  LiveHost* self = host.get();
  auto wake =
      WallClockTimer::create(context, [self](WallClockEvent event) { self->wallClock(event); });
  if (!wake) {
    return Unexpected(wake.error());
  }
  host->wake_ = std::move(*wake);
  return host;
}

LiveHost::LiveHost(GMainContext* context, LiveOptions options, const Clock& clock)
    : context_(context),
      options_(std::move(options)),
      clock_(clock),
      replyDeadline_(context),
      restart_(context),
      linkOpener_(context, options_.launch) {}

LiveHost::~LiveHost() {
  folderWatch_.reset();
  replyDeadline_.cancel();
  restart_.cancel();
  supervisor_.stop();
  child_.reset();
}

WidgetId LiveHost::addWidget(platform::widgets::WidgetFamily family, Backend& backend) {
  const WidgetId id = nextWidget_++;
  widgets_.push_back(std::make_unique<Widget>(Widget{id, family, &backend, {}, {}}));
  if (!kind_.empty()) {
    beginShowing(*widgets_.back());
  }
  return id;
}

void LiveHost::wallClock(WallClockEvent event) {
  if (event == WallClockEvent::clockChanged) {
    log("the wall clock changed");
    for (auto& widget : widgets_) {
      if (widget->scheduler) {
        widget->scheduler->clockChanged();
      }
    }
  }
  advanceAllWidgets();
}

void LiveHost::armWake() {
  std::optional<Date> earliest;
  for (const auto& widget : widgets_) {
    if (widget->wakeAt && (!earliest || *widget->wakeAt < *earliest)) {
      earliest = widget->wakeAt;
    }
  }
  if (earliest) {
    wake_->arm(*earliest);
  } else {
    wake_->disarm();
  }
}

void LiveHost::removeWidget(WidgetId id) {
  const auto gone = std::find_if(widgets_.begin(), widgets_.end(),
                                 [id](const auto& widget) { return widget->id == id; });
  if (gone == widgets_.end()) {
    return;
  }
  Backend* backend = (*gone)->backend;
  widgets_.erase(gone);
  armWake();
  // Replies still on their way for it find no widget and are dropped.
  if (std::none_of(widgets_.begin(), widgets_.end(),
                   [backend](const auto& widget) { return widget->backend == backend; })) {
    linkOpener_.forget(*backend);
  }
  offerLinks();
}

LiveHost::Widget* LiveHost::find(WidgetId id) const {
  for (const auto& widget : widgets_) {
    if (widget->id == id) {
      return widget.get();
    }
  }
  return nullptr;
}

const WidgetScheduler* LiveHost::scheduler(WidgetId id) const {
  const Widget* widget = find(id);
  return widget != nullptr && widget->scheduler ? &*widget->scheduler : nullptr;
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

void LiveHost::send(const protocol::RequestParams& params, RpcTag tag) {
  auto request = rpc_.request(params, monotonicNow(), tag);
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
  const bool restarted = !kind_.empty();
  if (!restarted) {
    kind_ = hello->widgets.front().kind;
  }
  for (auto& widget : widgets_) {
    if (!widget->scheduler) {
      beginShowing(*widget);
    } else {
      if (!widget->scheduler->showing()) {
        send(protocol::PlaceholderParams{kind_, widget->family}, widget->id);
      }
      // A new process may see a newer snapshot than the one the timeline kept.
      widget->scheduler->defaultsChanged();
    }
  }
  advanceAllWidgets();
}

void LiveHost::beginShowing(Widget& widget) {
  widget.scheduler.emplace(kind_, widget.family);
  if (childReady_) {
    send(protocol::PlaceholderParams{kind_, widget.family}, widget.id);
    advanceWidget(widget.id);
  }
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
  for (auto& widget : widgets_) {
    if (widget->scheduler) {
      widget->scheduler->defaultsChanged();
    }
  }
  advanceAllWidgets();
}

void LiveHost::advanceAllWidgets() {
  // A backend may remove widgets while it draws; go by id.
  std::vector<WidgetId> ids;
  ids.reserve(widgets_.size());
  for (const auto& widget : widgets_) {
    ids.push_back(widget->id);
  }
  for (const WidgetId id : ids) {
    advanceWidget(id);
  }
}

void LiveHost::advanceWidget(WidgetId id) {
  Widget* widget = find(id);
  if (widget == nullptr || !widget->scheduler) {
    return;
  }
  WidgetScheduler& scheduler = *widget->scheduler;
  const SchedulerStep step = scheduler.advance(clock_.now());
  switch (step.draw) {
    case SchedulerStep::Draw::none:
      break;
    case SchedulerStep::Draw::show:
      widget->backend->show(scheduler.scene(), step.instant);
      offerLinks();
      break;
    case SchedulerStep::Draw::tick:
      widget->backend->tick(step.instant);
      break;
  }
  if (step.reload) {
    if (childReady_) {
      log(std::string("asking for a timeline (") + std::string(name(*step.reload)) + ")");
      send(protocol::TimelineParams{kind_, scheduler.family()}, id);
    } else {
      // Asked again once the next extension is ready.
      scheduler.reloadFailed();
    }
  }
  widget->wakeAt = step.wakeAt;
  armWake();
}

void LiveHost::offerLinks() {
  std::vector<std::string> all;
  for (const auto& widget : widgets_) {
    if (widget->scheduler && widget->scheduler->showing()) {
      const auto& links = widget->scheduler->scene().links;
      all.insert(all.end(), links.begin(), links.end());
    }
  }
  linkOpener_.offer(std::move(all));
}

bool LiveHost::openLink(std::string_view url, Backend& from) {
  log("opening " + std::string(url));
  return linkOpener_.open(url, from);
}

}  // namespace velto::host::live
