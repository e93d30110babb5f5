#include "host/app/bar_command.hpp"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include <CLI/CLI.hpp>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <sysexits.h>
#include <unistd.h>

#include "host/app/extension_location.hpp"
#include "host/backends/bar/bar_backend.hpp"
#include "host/backends/bar/click_reader.hpp"
#include "host/live/latest_line_output.hpp"
#include "host/live/live_host.hpp"
#include "host/live/signal_watch.hpp"
#include "platform/foundation/defaults_folder.hpp"

namespace velto::host {

namespace {

void logLine(std::string_view line) {
  std::fprintf(stderr, "velto-widget-host: %.*s\n", static_cast<int>(line.size()), line.data());
}

/// One bar session on its own main context: stdout to the bar, stdin from it.
class BarSession {
 public:
  BarSession() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {}
  ~BarSession() {
    for (const guint id : sources_) {
      if (GSource* source = g_main_context_find_source_by_id(context_, id)) {
        g_source_destroy(source);
      }
    }
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }
  BarSession(const BarSession&) = delete;
  BarSession& operator=(const BarSession&) = delete;

  GMainContext* context() const { return context_; }
  void quit() { g_main_loop_quit(loop_); }
  void run() { g_main_loop_run(loop_); }

  /// Calls `ready` on the context whenever `fd` reports one of `conditions`.
  void watch(int fd, GIOCondition conditions, GUnixFDSourceFunc ready, gpointer data) {
    GSource* source = g_unix_fd_source_new(fd, conditions);
    g_source_set_callback(source, reinterpret_cast<GSourceFunc>(reinterpret_cast<void*>(ready)),
                          data, nullptr);
    sources_.push_back(g_source_attach(source, context_));
    g_source_unref(source);
  }

 private:
  GMainContext* context_;
  GMainLoop* loop_;
  std::vector<guint> sources_;
};

struct ClickInput {
  bar::ClickReader reader;
  bool ended = false;
};

gboolean clicksReady(gint fd, GIOCondition, gpointer data) {
  auto* input = static_cast<ClickInput*>(data);
  std::array<char, 4096> bytes{};
  const ssize_t got = ::read(fd, bytes.data(), bytes.size());
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
    return G_SOURCE_CONTINUE;
  }
  if (got <= 0) {
    // A bar without click events closes our stdin; the widget stays.
    input->ended = true;
    return G_SOURCE_REMOVE;
  }
  input->reader.feed(std::string_view(bytes.data(), static_cast<std::size_t>(got)));
  return G_SOURCE_CONTINUE;
}

gboolean barGone(gint, GIOCondition, gpointer data) {
  static_cast<BarSession*>(data)->quit();
  return G_SOURCE_REMOVE;
}

}  // namespace

BarCommand::BarCommand(CLI::App& program) {
  command_ = program.add_subcommand(
      "bar", "Keep the widget live in a status bar: one line per visible change on stdout");
  command_->add_option("--format", format_, "waybar (JSON lines) or i3bar (also swaybar)")
      ->check(CLI::IsMember({"waybar", "i3bar"}))
      ->capture_default_str();
  command_->add_flag("--short", short_, "Only the symbol and the running readout, for narrow bars");
  command_->add_option("--family", family_, "Size whose texts are read: small or medium")
      ->check(CLI::IsMember({"small", "medium"}))
      ->capture_default_str();
  command_->add_option("--extension", extension_, "The widget extension to run");
  command_->add_flag("--verbose", verbose_, "Log why the extension was restarted, on stderr");
}

bool BarCommand::chosen() const {
  return command_->parsed();
}

int BarCommand::run(bool outputWasClosed) const {
  if (outputWasClosed) {
    logLine("standard output is closed: the bar reads the widget from it");
    return EX_USAGE;
  }
  const auto defaultsFolder = platform::foundation::defaultsDirectory();
  if (defaultsFolder.empty()) {
    logLine(platform::foundation::kNoDefaultsFolder);
    return EX_CONFIG;
  }
  const auto extension = locateExtension(
      extension_ ? std::optional<std::filesystem::path>(*extension_) : std::nullopt);
  if (!extension) {
    logLine(extension.error());
    return EX_UNAVAILABLE;
  }
  BarSession session;
  std::optional<int> writeError;
  // A bar that stops reading must not stall the loop, or no signal could end us.
  live::LatestLineOutput output(session.context(), STDOUT_FILENO, [&](int error) {
    writeError = error;
    session.quit();
  });
  bar::BarBackend backend(
      format_ == "i3bar" ? bar::BarFormat::i3bar : bar::BarFormat::waybar, short_,
      [&output](std::string_view line) {
        output.write(std::string(line));
        return !output.failed();
      },
      [&session] { session.quit(); });

  live::LiveOptions options;
  options.extension = *extension;
  options.defaultsFolder = defaultsFolder;
  if (verbose_) {
    options.log = logLine;
  }
  int status = EX_OK;
  options.gaveUp = [&session, &status](std::string_view reason) {
    logLine(reason);
    status = EX_UNAVAILABLE;
    session.quit();
  };
  auto host = live::LiveHost::create(session.context(), std::move(options));
  if (!host) {
    logLine(host.error());
    return EX_UNAVAILABLE;
  }
  const auto family = platform::widgets::familyFromName(family_).value_or(
      platform::widgets::WidgetFamily::systemSmall);
  (*host)->addWidget(family, backend);

  ClickInput clicks{bar::ClickReader(
      [&host, &backend](const bar::Click& click) { (*host)->openLink(click.url, backend); },
      logLine)};
  if (format_ == "i3bar") {
    session.watch(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                  clicksReady, &clicks);
  }
  // A pipe's writing end reports an error as soon as the bar closes its end, so
  // a stopped widget that prints nothing still ends with its bar.
  session.watch(STDOUT_FILENO, static_cast<GIOCondition>(G_IO_ERR | G_IO_HUP), barGone, &session);
  const live::SignalWatch interrupt(session.context(), SIGINT, [&session] { session.quit(); });
  const live::SignalWatch terminate(session.context(), SIGTERM, [&session] { session.quit(); });
  const live::SignalWatch hangUp(session.context(), SIGHUP, [&session] { session.quit(); });

  (*host)->start();
  session.run();
  // A bar that closed its end has simply gone; any other failure lost lines.
  if (writeError && *writeError != EPIPE) {
    logLine(std::string("cannot write to standard output: ") + std::strerror(*writeError));
    return EX_IOERR;
  }
  return status;
}

}  // namespace velto::host
