#include "host/app/terminal_command.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <variant>

#include <glib-unix.h>
#include <signal.h>
#include <sysexits.h>
#include <unistd.h>

#include "host/app/desktop_appearance.hpp"
#include "host/app/terminal_appearance.hpp"
#include "host/backends/terminal/key_decoder.hpp"
#include "host/backends/terminal/terminal_backend.hpp"
#include "host/backends/terminal/terminal_io.hpp"
#include "host/live/glib_source.hpp"
#include "host/live/live_host.hpp"
#include "host/live/signal_watch.hpp"
#include "host/live/timeout.hpp"
#include "platform/foundation/defaults_folder.hpp"

namespace velto::host {

namespace {

using terminal::InputEvent;
using terminal::Key;

// How long the terminal may take to tell its background colour.
constexpr auto kBackgroundAnswerWait = std::chrono::milliseconds(100);

// Writes one log line on stderr, stamped with the wall-clock time to the millisecond.
void logLine(std::string_view line) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  std::array<char, 16> stamp{};
  std::strftime(stamp.data(), stamp.size(), "%H:%M:%S", &local);
  std::fprintf(stderr, "velto-widget-host: %s.%03ld %.*s\n", stamp.data(), now.tv_nsec / 1'000'000,
               static_cast<int>(line.size()), line.data());
}

/// One terminal session on its own main context: the input, the signals and
/// the live host, in the order they must end.
class TerminalSession {
 public:
  explicit TerminalSession(const TerminalRequest& request)
      : request_(request),
        context_(g_main_context_new()),
        loop_(g_main_loop_new(context_, FALSE)) {}
  ~TerminalSession() {
    host_.reset();
    input_.reset();
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  TerminalOutcome run();

 private:
  static gboolean inputReady(gint fd, GIOCondition condition, gpointer self);
  void keys(std::string_view bytes);
  void quit(TerminalOutcome outcome);
  std::optional<render::Appearance> askBackground();

  const TerminalRequest& request_;
  GMainContext* context_;
  GMainLoop* loop_;
  terminal::KeyDecoder decoder_;
  std::optional<terminal::TerminalBackend> backend_;
  std::unique_ptr<live::LiveHost> host_;
  live::AttachedSource input_;
  std::optional<render::Appearance> background_;
  TerminalOutcome outcome_;
  bool quitting_ = false;
};

gboolean TerminalSession::inputReady(gint fd, GIOCondition /*condition*/, gpointer self) {
  auto& session = *static_cast<TerminalSession*>(self);
  std::array<char, 256> bytes{};
  const ssize_t got = ::read(fd, bytes.data(), bytes.size());
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
    return G_SOURCE_CONTINUE;
  }
  if (got <= 0) {
    session.quit({EX_OK, {}});
    return G_SOURCE_REMOVE;
  }
  session.keys(std::string_view(bytes.data(), static_cast<std::size_t>(got)));
  return G_SOURCE_CONTINUE;
}

void TerminalSession::keys(std::string_view bytes) {
  for (const InputEvent& event : decoder_.feed(bytes)) {
    if (const auto* report = std::get_if<terminal::BackgroundReport>(&event)) {
      background_ = report->appearance;
      continue;
    }
    const Key key = std::get<Key>(event);
    if (key == Key::quit) {
      quit({EX_OK, {}});
      return;
    }
    if (!backend_ || !host_) {
      continue;
    }
    if (const auto url = backend_->linkForKey(key)) {
      host_->openLink(*url, *backend_);
    }
  }
}

void TerminalSession::quit(TerminalOutcome outcome) {
  outcome_ = std::move(outcome);
  quitting_ = true;
  g_main_loop_quit(loop_);
}

std::optional<render::Appearance> TerminalSession::askBackground() {
  if (!terminal::writeFrame(STDOUT_FILENO, terminal::kBackgroundQuery)) {
    return std::nullopt;
  }
  bool waited = false;
  live::Timeout wait(context_);
  wait.start(kBackgroundAnswerWait, [&waited] { waited = true; });
  while (!waited && !background_ && !quitting_) {
    g_main_context_iteration(context_, TRUE);
  }
  return background_;
}

TerminalOutcome TerminalSession::run() {
  // Asked first, while this is the only thread: the answer comes from a child.
  const auto desktop = request_.appearance ? std::nullopt : desktopPrefersDarkApart();
  const terminal::Capabilities capabilities =
      terminal::detectCapabilities(terminal::terminalEnvironment());
  const bool addressing = capabilities.cellAddressing;
  const bool keyboard = ::isatty(STDIN_FILENO) != 0;
  // Plain lines need no screen to size; a dumb terminal reads keys only when it has them.
  auto size = terminal::windowSize(STDOUT_FILENO);
  if (!addressing && !size) {
    size = terminal::GridSize{80, 24};
  }
  if (!size || (addressing && !keyboard)) {
    return {EX_USAGE, "terminal: stdin and stdout must be a terminal"};
  }
  const auto defaultsFolder = platform::foundation::defaultsDirectory();
  if (defaultsFolder.empty()) {
    return {EX_CONFIG, std::string(platform::foundation::kNoDefaultsFolder)};
  }
  if (::access(request_.extension.c_str(), X_OK) != 0) {
    return {EX_UNAVAILABLE, "cannot run the extension '" + request_.extension.string()
                                + "': " + std::strerror(errno)};
  }
  std::optional<terminal::RawMode> raw;
  if (keyboard) {
    auto entered = terminal::RawMode::enter(STDIN_FILENO);
    if (!entered) {
      return {EX_USAGE, "terminal: " + entered.error()};
    }
    raw.emplace(std::move(*entered));
  }
  std::optional<terminal::AlternateScreen> screen;
  if (addressing) {
    screen.emplace(terminal::fdSink(STDOUT_FILENO));
  }
  const live::ThreadDefaultContext onContext(context_);

  if (keyboard) {
    GSource* input = g_unix_fd_source_new(STDIN_FILENO,
                                          static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(input, G_SOURCE_FUNC(&TerminalSession::inputReady), this, nullptr);
    input_ = live::AttachedSource(input, context_);
  }

  const TerminalOutcome ended{EX_OK, {}};
  const live::SignalWatch interrupt(context_, SIGINT, [this, ended] { quit(ended); });
  const live::SignalWatch terminate(context_, SIGTERM, [this, ended] { quit(ended); });
  const live::SignalWatch hangUp(context_, SIGHUP, [this, ended] { quit(ended); });
  const live::SignalWatch resize(context_, SIGWINCH, [this] {
    if (const auto now = terminal::windowSize(STDOUT_FILENO); now && backend_) {
      backend_->resize(*now);
    }
  });

  // The desktop's preference needs no question; otherwise ask the terminal.
  std::optional<render::Appearance> terminalBackground;
  if (!request_.appearance && !desktop && addressing) {
    terminalBackground = askBackground();
  }
  if (quitting_) {
    return outcome_;
  }
  backend_.emplace(
      terminal::fdSink(STDOUT_FILENO), *size,
      terminal::TerminalOptions{
          terminalAppearance(request_.appearance, desktop, terminalBackground), capabilities});

  live::LiveOptions options;
  options.extension = request_.extension;
  options.defaultsFolder = defaultsFolder;
  if (request_.verbose) {
    options.log = logLine;
  }
  options.gaveUp = [this](std::string_view reason) { quit({EX_UNAVAILABLE, std::string(reason)}); };
  auto host = live::LiveHost::create(context_, std::move(options));
  if (!host) {
    return {EX_OSERR, host.error()};
  }
  (*host)->addWidget(request_.family, *backend_);
  host_ = std::move(*host);
  host_->start();
  g_main_loop_run(loop_);
  host_.reset();
  return outcome_;
}

}  // namespace

TerminalOutcome runTerminal(const TerminalRequest& request) {
  TerminalSession session(request);
  return session.run();
}

}  // namespace velto::host
