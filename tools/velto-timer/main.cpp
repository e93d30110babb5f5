// velto-timer: keeps the one project timer that the Velto widget shows, in the
// shared snapshot, and handles the widget's velto: links.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>
#include <sysexits.h>
#include <unistd.h>

#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/printable_text.hpp"
#include "platform/foundation/user_defaults.hpp"
#include "platform/foundation/utf8.hpp"
#include "platform/foundation/write_all.hpp"
#include "tools/velto-timer/deep_link.hpp"
#include "tools/velto-timer/desktop_entry.hpp"
#include "tools/velto-timer/timer_store.hpp"
#include "velto/version.hpp"

namespace {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using velto::timer::Change;
using velto::timer::CommandOutcome;
using velto::timer::Failure;
using velto::timer::printLine;
using velto::timer::TimerCommand;

/// Longest project name, in characters, that the timer accepts.
constexpr std::size_t kMaxProjectNameLength = 1000;

constexpr std::string_view kExitStatuses =
    "Exit status: 0 on success, also when the timer already is as asked; 64 for bad\n"
    "arguments, a bad --at or a link other than velto://toggle and velto://stop; 65 for a\n"
    "project name that is not UTF-8 or longer than 1000 characters, a damaged stored\n"
    "snapshot or domain file (until start --force replaces it), or a command that needs a\n"
    "timer when none runs or is paused; 66 when the domain file cannot be read (a folder,\n"
    "a FIFO) or status finds no snapshot (--json only); 73 when a folder, lock or file\n"
    "cannot be created, or register runs from a path that is not UTF-8; 74 when writing\n"
    "fails; 75 when another program holds the domain's lock for longer than\n"
    "VELTO_LOCK_WAIT seconds (5 unless set); 78 when no data or defaults folder is known\n"
    "or VELTO_LOCK_WAIT is not a number of seconds from 0 to 600. Every failure prints\n"
    "one line on stderr and leaves the stored snapshot unchanged.";

int report(const Failure& failure) {
  return platform::foundation::reportToolFailure("velto-timer", failure);
}

/// Ends as the command ended: a failure in its one line, a success with a line
/// for each thing it worked around.
int finish(const CommandOutcome& outcome) {
  if (outcome.failure) {
    return report(*outcome.failure);
  }
  for (const std::string& notice : outcome.notices) {
    (void)report({EX_OK, notice});
  }
  return EX_OK;
}

std::optional<Failure> checkProject(const std::string& project) {
  const auto length = platform::foundation::utf8CodePointCount(project);
  if (!length) {
    return Failure{EX_DATAERR, "the project name is not valid UTF-8"};
  }
  if (*length > kMaxProjectNameLength) {
    return Failure{EX_DATAERR, "the project name is longer than "
                                   + std::to_string(kMaxProjectNameLength) + " characters"};
  }
  return std::nullopt;
}

Expected<std::filesystem::path, Failure> runningProgram() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
    const int error = errno;
    return Unexpected(
        Failure{EX_OSERR, std::string("cannot find this program's path: ") + std::strerror(error)});
  }
  path.resize(static_cast<std::size_t>(length));
  return std::filesystem::path(path);
}

std::optional<Failure> checkDefaultsFolder() {
  if (platform::foundation::defaultsDirectory().empty()) {
    return Failure{EX_CONFIG,
                   "no defaults folder: neither XDG_CONFIG_HOME nor HOME is an absolute path, and "
                   "the user has no home folder"};
  }
  return std::nullopt;
}

int run(int argc, char** argv) {
  CLI::App app(
      "Keeps the project timer that the Velto widget shows, and handles the widget's "
      "velto: links.",
      "velto-timer");
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string(velto::kVersion), "Print the version and exit");
  app.footer(std::string(kExitStatuses));
  Change change;
  std::string project;
  std::string url;
  bool json = false;
  const std::string atHelp =
      "Record the change at TIME instead of now: HH:MM[:SS] today in local time, or ISO-8601 "
      "such as 2026-03-29T09:00 (local) or 2026-03-29T07:00Z; not before the timer's last "
      "change, not in the future";

  CLI::App* start = app.add_subcommand(
      "start", "Start a new timer for PROJECT; a running or paused timer is stopped first");
  CLI::Option* projectOption = start->add_option("PROJECT", project, "Project name");
  start->add_flag("--force", change.force, "Replace a damaged stored snapshot");
  CLI::App* pause = app.add_subcommand("pause", "Pause the running timer");
  CLI::App* resume = app.add_subcommand("resume", "Resume the paused timer");
  CLI::App* toggle =
      app.add_subcommand("toggle", "Pause the running timer or resume the paused one");
  CLI::App* stop = app.add_subcommand("stop", "Stop the timer, keeping how long it ran");
  const std::pair<CLI::App*, TimerCommand> commands[] = {{start, TimerCommand::start},
                                                         {pause, TimerCommand::pause},
                                                         {resume, TimerCommand::resume},
                                                         {toggle, TimerCommand::toggle},
                                                         {stop, TimerCommand::stop}};
  std::string at;
  for (const auto& [command, kind] : commands) {
    command->add_option("--at", at, atHelp)->type_name("TIME");
  }
  CLI::App* status = app.add_subcommand("status", "Print the timer's state in one line");
  status->add_flag("--json", json, "Print the stored snapshot's JSON instead");
  CLI::App* open = app.add_subcommand(
      "open", "Handle a velto: link: velto://toggle toggles, velto://stop stops");
  open->add_option("URL", url, "The link")->required();
  CLI::App* registerCommand =
      app.add_subcommand("register", "Make velto-timer the handler of velto: links for this user");
  CLI::App* unregisterCommand =
      app.add_subcommand("unregister", "Undo register: remove the handler of velto: links");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    const auto failure = printLine(app.help());
    return failure ? report(*failure) : EX_OK;
  } catch (const CLI::CallForVersion&) {
    const auto failure = printLine("velto-timer " + std::string(velto::kVersion));
    return failure ? report(*failure) : EX_OK;
  } catch (const CLI::ParseError& error) {
    return report({EX_USAGE, std::string(error.what()) + " (see velto-timer --help)"});
  }

  std::optional<Failure> failure;
  const bool usesSnapshot = status->parsed() || open->parsed()
                            || std::any_of(std::begin(commands), std::end(commands),
                                           [](const auto& entry) { return entry.first->parsed(); });
  if (usesSnapshot && (failure = checkDefaultsFolder())) {
    return report(*failure);
  }
  if (usesSnapshot) {
    const auto wait = platform::foundation::lockWaitFrom(
        std::getenv(std::string(platform::foundation::kLockWaitVariable).c_str()));
    if (!wait) {
      return report({EX_CONFIG, wait.error().message});
    }
    change.lockWait = *wait;
  }
  for (const auto& [command, kind] : commands) {
    if (command->parsed()) {
      change.command = kind;
      if (projectOption->count() == 1) {
        if ((failure = checkProject(project))) {
          return report(*failure);
        }
        change.project = project;
      }
      if (command->get_option("--at")->count() == 1) {
        change.at = at;
      }
      return finish(velto::timer::applyChange(change));
    }
  }
  if (status->parsed()) {
    return finish(velto::timer::showStatus(json));
  }
  if (open->parsed()) {
    const auto command = velto::timer::commandForLink(url);
    if (!command) {
      return report({EX_USAGE, "cannot open '" + platform::foundation::printableText(url)
                                   + "': only velto://toggle and velto://stop are handled"});
    }
    change.command = *command;
    return finish(velto::timer::applyChange(change));
  }
  if (registerCommand->parsed()) {
    const auto program = runningProgram();
    if (!program) {
      return report(program.error());
    }
    if (auto registered = velto::timer::registerLinkHandler(*program); !registered) {
      failure = Failure{registered.error().status, registered.error().message};
    }
  } else if (unregisterCommand->parsed()) {
    if (auto removed = velto::timer::unregisterLinkHandler(); !removed) {
      failure = Failure{removed.error().status, removed.error().message};
    }
  }
  return failure ? report(*failure) : EX_OK;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    return report({EX_SOFTWARE, std::string("internal error: ") + error.what()});
  } catch (...) {
    return report({EX_SOFTWARE, "internal error"});
  }
}
