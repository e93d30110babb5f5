// velto-timer: keeps the one project timer that the Velto widget shows, in the
// shared snapshot, and handles the widget's velto: links.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>
#include <sysexits.h>
#include <unistd.h>

#include "extension/model/shared_timer_storage.hpp"
#include "extension/model/snapshot_json.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/foundation/defaults_domain.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/user_defaults.hpp"
#include "platform/foundation/utf8.hpp"
#include "platform/foundation/write_all.hpp"
#include "tools/velto-timer/deep_link.hpp"
#include "tools/velto-timer/desktop_entry.hpp"
#include "tools/velto-timer/status_text.hpp"
#include "tools/velto-timer/time_argument.hpp"
#include "tools/velto-timer/timer_transition.hpp"
#include "velto/version.hpp"

namespace {

using platform::foundation::Date;
using platform::foundation::DefaultsError;
using platform::foundation::DefaultsValue;
using platform::foundation::DefaultsValueType;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using velto::model::SharedTimerSnapshot;
using velto::model::SharedTimerStorage;
using velto::timer::TimerCommand;

/// Longest project name, in characters, that the timer accepts.
constexpr std::size_t kMaxProjectNameLength = 1000;

constexpr std::string_view kExitStatuses =
    "Exit status: 0 on success, also when the timer already is as asked; 64 for bad\n"
    "arguments, a bad --at or a link other than velto://toggle and velto://stop; 65 for a\n"
    "project name that is not UTF-8 or longer than 1000 characters, a damaged stored\n"
    "snapshot or domain file, or a command that needs a timer when none runs or is paused;\n"
    "66 when the domain file cannot be read (a folder, a FIFO) or status finds no snapshot\n"
    "(--json only); 73 when a folder, lock or file cannot be created; 74 when writing\n"
    "fails; 78 when no data or defaults folder is known. Every failure prints one line\n"
    "on stderr and leaves the stored snapshot unchanged.";

/// Why the program stops: the one line it prints and its exit status.
struct Failure {
  int status;
  std::string message;
};

int report(const Failure& failure) {
  std::string line = "velto-timer: " + failure.message;
  for (char& c : line) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  line += '\n';
  (void)platform::foundation::writeAll(STDERR_FILENO, line);
  return failure.status;
}

std::optional<Failure> printLine(std::string text) {
  text += '\n';
  if (auto written = platform::foundation::writeAll(STDOUT_FILENO, text); !written) {
    return Failure{EX_IOERR, std::string("cannot write to standard output: ")
                                 + std::strerror(written.error())};
  }
  return std::nullopt;
}

Failure failureFor(const DefaultsError& error) {
  return {platform::foundation::sysexitsStatus(error.code), error.message};
}

/// The stored snapshot, none when nothing is stored, or why it cannot be used.
Expected<std::optional<SharedTimerSnapshot>, Failure> decodeStored(
    const std::optional<DefaultsValue>& value) {
  if (!value) {
    return std::optional<SharedTimerSnapshot>();
  }
  const std::string advice = "; 'velto-timer start --force' replaces it";
  if (value->type != DefaultsValueType::data) {
    return Unexpected(Failure{EX_DATAERR, "the stored timer snapshot is a "
                                              + std::string(defaultsValueTypeName(value->type))
                                              + " value, not data" + advice});
  }
  auto decoded = velto::model::decodeSnapshot(std::span(value->bytes));
  if (!decoded) {
    return Unexpected(Failure{EX_DATAERR, "the stored timer snapshot is damaged" + advice});
  }
  return std::optional(std::move(*decoded));
}

struct Change {
  TimerCommand command;
  std::optional<std::string> project;
  std::optional<std::string> at;
  bool force = false;
};

/// Carries out `change` as one transaction on the stored snapshot: the clock is
/// read under the domain's lock, so that concurrent runs apply in a clear order.
std::optional<Failure> applyChange(const Change& change) {
  const velto::timer::SystemTimeZone zone;
  std::optional<Failure> refused;
  const auto abort = [&refused](Failure failure) {
    refused = std::move(failure);
    return Unexpected(DefaultsError{DefaultsError::Code::invalidArgument, refused->message});
  };
  const auto updated = platform::foundation::updateDefaultsValue(
      SharedTimerStorage::kAppGroupSuiteName, SharedTimerStorage::kSnapshotKey,
      [&](const std::optional<DefaultsValue>& value)
          -> Expected<std::optional<DefaultsValue>, DefaultsError> {
        std::optional<SharedTimerSnapshot> current;
        if (auto stored = decodeStored(value)) {
          current = std::move(*stored);
        } else if (!(change.force && change.command == TimerCommand::start)) {
          return abort(stored.error());
        }
        const Date now = platform::foundation::SystemClock::shared().now();
        Date at = now;
        if (change.at) {
          auto parsed = velto::timer::parseTimeArgument(*change.at, now, zone);
          if (!parsed) {
            return abort({EX_USAGE, "invalid --at "
                                        + platform::foundation::quotedForMessage(*change.at) + ": "
                                        + parsed.error()});
          }
          if (*parsed > now) {
            return abort({EX_USAGE, "--at " + platform::foundation::quotedForMessage(*change.at)
                                        + " is in the future"});
          }
          at = *parsed;
        } else if (current && now < current->updatedAt) {
          // The stored change comes from a clock ahead of ours; count no negative time.
          at = current->updatedAt;
        }
        auto next = velto::timer::applyCommand(current, change.command, change.project, at, zone);
        if (!next) {
          const bool early = next.error().kind == velto::timer::TransitionError::Kind::beforeUpdate;
          return abort({early ? EX_USAGE : EX_DATAERR,
                        early ? "--at " + platform::foundation::quotedForMessage(*change.at)
                                    + " is before the timer's last change"
                              : next.error().message});
        }
        if (!next->has_value()) {
          return std::optional<DefaultsValue>();
        }
        const auto json = velto::model::encodeSnapshot(**next);
        if (!json) {
          return abort({EX_DATAERR, "the timer's numbers cannot be written as JSON"});
        }
        return std::optional(DefaultsValue{
            DefaultsValueType::data, platform::foundation::Bytes(json->begin(), json->end())});
      });
  if (refused) {
    return refused;
  }
  if (!updated) {
    return failureFor(updated.error());
  }
  return std::nullopt;
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

std::optional<Failure> showStatus(bool json) {
  const auto value = platform::foundation::readDefaultsValue(SharedTimerStorage::kAppGroupSuiteName,
                                                             SharedTimerStorage::kSnapshotKey);
  std::optional<DefaultsValue> stored;
  if (value) {
    stored = *value;
  } else if (value.error().code != DefaultsError::Code::noSuchDomain
             && value.error().code != DefaultsError::Code::noSuchKey) {
    return failureFor(value.error());
  }
  const auto snapshot = decodeStored(stored);
  if (!snapshot) {
    return snapshot.error();
  }
  if (json) {
    if (!*snapshot) {
      return Failure{EX_NOINPUT, "no timer snapshot is stored"};
    }
    return printLine(std::string(stored->bytes.begin(), stored->bytes.end()));
  }
  return printLine(velto::timer::statusLine(*snapshot,
                                            platform::foundation::SystemClock::shared().now(),
                                            velto::timer::SystemTimeZone()));
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
  Change change{TimerCommand::start, std::nullopt, std::nullopt, false};
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
      failure = applyChange(change);
    }
  }
  if (status->parsed()) {
    failure = showStatus(json);
  } else if (open->parsed()) {
    const auto command = velto::timer::commandForLink(url);
    if (!command) {
      return report({EX_USAGE, "cannot open " + platform::foundation::quotedForMessage(url)
                                   + ": only velto://toggle and velto://stop are handled"});
    }
    change.command = *command;
    failure = applyChange(change);
  } else if (registerCommand->parsed()) {
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
