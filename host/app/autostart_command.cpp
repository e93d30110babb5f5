#include "host/app/autostart_command.hpp"

#include <cstdio>
#include <cstdlib>

#include <CLI/CLI.hpp>
#include <glib.h>
#include <sysexits.h>

#include "host/app/extension_location.hpp"
#include "host/output/pending_output.hpp"
#include "host/placements/settings_file.hpp"
#include "host/placements/settings_writer.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

namespace {

constexpr std::string_view kProgram = "velto-widget-host";

// Characters that the Exec key's rules allow only inside a quoted argument.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters that a quoted argument escapes with a backslash.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

int report(const AutostartOutcome& outcome) {
  std::FILE* stream = outcome.status == EX_OK ? stdout : stderr;
  std::fprintf(stream, "%s%s\n",
               outcome.status == EX_OK ? "" : (std::string(kProgram) + ": ").c_str(),
               outcome.message.c_str());
  return outcome.status;
}

}  // namespace

std::optional<std::filesystem::path> autostartFilePath(const char* xdgConfigHome,
                                                       const char* home) {
  const auto config = platform::foundation::configHome(xdgConfigHome, home);
  if (!config) {
    return std::nullopt;
  }
  return *config / "autostart" / "velto-widget-host.desktop";
}

std::optional<std::string> execArgument(std::string_view argument) {
  bool quote = argument.empty();
  for (const char c : argument) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      return std::nullopt;
    }
    quote = quote || kReserved.find(c) != std::string_view::npos;
  }
  // 1. The Exec rules: quote, escaping what a quoted argument escapes; double '%'.
  std::string exec = quote ? "\"" : "";
  for (const char c : argument) {
    if (quote && kEscapedInQuotes.find(c) != std::string_view::npos) {
      exec += '\\';
    }
    exec += c;
    if (c == '%') {
      exec += '%';
    }
  }
  exec += quote ? "\"" : "";
  // 2. The file's string rules: every backslash is itself escaped.
  std::string value;
  for (const char c : exec) {
    value += c;
    if (c == '\\') {
      value += '\\';
    }
  }
  return value;
}

Expected<std::string, std::string> autostartEntry(const std::filesystem::path& program,
                                                  std::span<const std::string> desktopArguments) {
  std::vector<std::string> words{program.string(), "desktop"};
  words.insert(words.end(), desktopArguments.begin(), desktopArguments.end());
  std::string exec;
  for (const auto& word : words) {
    const auto quoted = execArgument(word);
    if (!quoted) {
      return Unexpected("an autostart entry cannot carry the argument '" + word
                        + "': it holds a control character");
    }
    exec += (exec.empty() ? "" : " ") + *quoted;
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Velto Timer Widget\n"
         "Comment=Shows the Velto timer widget on the desktop from login on\n"
         "Exec="
         + exec
         + "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool systemdUnitEnabled() {
  std::array<gchar*, 5> argv{const_cast<gchar*>("systemctl"), const_cast<gchar*>("--user"),
                             const_cast<gchar*>("is-enabled"), const_cast<gchar*>(kSystemdUnit),
                             nullptr};
  gchar* out = nullptr;
  gint waitStatus = 0;
  const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL
                                              | G_SPAWN_STDIN_FROM_DEV_NULL);
  if (!g_spawn_sync(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, &out, nullptr,
                    &waitStatus, nullptr)) {
    return false;
  }
  const std::string state = out == nullptr ? "" : std::string(out);
  g_free(out);
  if (!g_spawn_check_wait_status(waitStatus, nullptr)) {
    return false;
  }
  // "static", "linked" and the like also exit 0, but do not start the unit at login.
  return state.starts_with("enabled\n") || state.starts_with("enabled-runtime\n");
}

AutostartOutcome enableAutostart(const std::filesystem::path& file,
                                 const std::filesystem::path& program,
                                 std::span<const std::string> desktopArguments,
                                 const UnitEnabled& unitEnabled,
                                 const std::optional<PlacementToWrite>& placement) {
  if (unitEnabled()) {
    return {EX_UNAVAILABLE, "systemd already starts the widget at login (the user unit "
                                + std::string(kSystemdUnit)
                                + " is enabled); run 'systemctl --user disable --now "
                                + kSystemdUnit + "' first, or keep that instead"};
  }
  const auto entry = autostartEntry(program, desktopArguments);
  if (!entry) {
    return {EX_USAGE, entry.error()};
  }
  std::string placed;
  if (placement) {
    if (const auto written =
            placements::writePlacement(placement->settingsFile, placement->placement);
        !written) {
      return {EX_CANTCREAT, written.error()};
    }
    placed = "; wrote the placement '" + placement->placement.name + "' to "
             + placement->settingsFile.string();
  }
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  if (error) {
    return {EX_CANTCREAT,
            "cannot create '" + file.parent_path().string() + "': " + error.message()};
  }
  auto pending = PendingOutput::create(file);
  if (!pending) {
    return {pending.error().status, pending.error().message};
  }
  if (const auto committed = pending->commit(*entry); !committed) {
    return {committed.error().status, committed.error().message};
  }
  return {EX_OK, "the widget now starts at login: " + file.string() + placed};
}

AutostartOutcome disableAutostart(const std::filesystem::path& file) {
  std::error_code error;
  const bool removed = std::filesystem::remove(file, error);
  if (error) {
    return {EX_IOERR, "cannot remove '" + file.string() + "': " + error.message()};
  }
  return {EX_OK, removed ? "the widget no longer starts at login: removed " + file.string()
                         : "nothing to disable: " + file.string() + " is not there"};
}

AutostartOutcome autostartStatus(const std::filesystem::path& file,
                                 const UnitEnabled& unitEnabled) {
  std::error_code error;
  const bool entry = std::filesystem::exists(file, error);
  const bool unit = unitEnabled();
  if (entry && unit) {
    return {EX_OK, "started at login twice: by " + file.string() + " and by the systemd unit "
                       + kSystemdUnit + "; disable one"};
  }
  if (entry) {
    return {EX_OK, "started at login by " + file.string()};
  }
  if (unit) {
    return {EX_OK, std::string("started at login by the systemd user unit ") + kSystemdUnit};
  }
  return {EX_OK, "not started at login"};
}

AutostartCommand::AutostartCommand(CLI::App& program) {
  command_ = program.add_subcommand("autostart", "Start the desktop widget at login, or stop that");
  command_->require_subcommand(1);
  enable_ = command_->add_subcommand(
      "enable",
      "Write the XDG autostart entry that runs 'desktop', and the placement these options give "
      "into widget.ini");
  enable_->add_option("--family", family_, "Size to show: small or medium")
      ->check(CLI::IsMember({"small", "medium"}));
  enable_
      ->add_option("--position", position_,
                   "Corner: top-right, top-left, bottom-right or bottom-left")
      ->check(CLI::IsMember({"top-right", "top-left", "bottom-right", "bottom-left"}));
  enable_->add_option("--margin", margin_, "Distance from the corner's edges in points")
      ->check(CLI::Range(0, placements::kMaxMargin));
  enable_->add_option("--output", output_, "Monitor to show the widget on; * for every monitor");
  enable_->add_option("--appearance", appearance_, "light or dark; by default the desktop's")
      ->check(CLI::IsMember({"light", "dark"}));
  enable_->add_option("--name", name_, "Name of the placement in widget.ini")
      ->capture_default_str();
  enable_->add_option("--extension", extension_, "The widget extension to run");
  enable_->add_flag("--verbose", verbose_, "Log why the extension was restarted");
  disable_ = command_->add_subcommand("disable", "Remove the XDG autostart entry");
  status_ = command_->add_subcommand("status", "Say how the widget starts at login, if at all");
}

bool AutostartCommand::chosen() const {
  return command_->parsed();
}

std::vector<std::string> AutostartCommand::desktopArguments() const {
  std::vector<std::string> arguments;
  if (extension_) {
    // Login starts in another folder, so a relative path would not hold.
    arguments.insert(arguments.end(),
                     {"--extension", std::filesystem::absolute(*extension_).string()});
  }
  if (verbose_) {
    arguments.emplace_back("--verbose");
  }
  return arguments;
}

std::optional<placements::Placement> AutostartCommand::placement() const {
  if (!family_ && !position_ && !margin_ && !output_ && !appearance_) {
    return std::nullopt;
  }
  // The options' checks have let only names that parse through.
  placements::Placement placement{.name = name_};
  if (family_) {
    placement.family = platform::widgets::familyFromName(*family_).value_or(placement.family);
  }
  if (position_) {
    placement.corner = placements::parseCorner(*position_).value_or(placement.corner);
  }
  placement.margin = margin_.value_or(placement.margin);
  placement.output = output_;
  if (appearance_) {
    placement.appearance = placements::parseAppearance(*appearance_);
  }
  return placement;
}

int AutostartCommand::run() const {
  const auto file = autostartFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (!file) {
    return report({EX_CONFIG,
                   "no autostart folder: neither XDG_CONFIG_HOME nor HOME is an "
                   "absolute path"});
  }
  if (disable_->parsed()) {
    return report(disableAutostart(*file));
  }
  if (status_->parsed()) {
    return report(autostartStatus(*file, systemdUnitEnabled));
  }
  const auto placement = this->placement();
  if (!placement && enable_->count("--name") > 0) {
    return report({EX_USAGE,
                   "--name names the placement that --family, --position, --margin, --output "
                   "or --appearance give; give one of those too"});
  }
  if (const auto problem = placements::placementNameProblem(name_); placement && problem) {
    return report({EX_USAGE, "--name: " + *problem});
  }
  const auto program = runningProgram();
  if (!program) {
    return report({EX_OSERR, "cannot tell where this program is (/proc/self/exe)"});
  }
  std::optional<PlacementToWrite> toWrite;
  if (placement) {
    // Both paths follow the same rules, so the settings file is known here.
    toWrite = PlacementToWrite{
        *placements::settingsFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
        *placement};
  }
  return report(enableAutostart(*file, *program, desktopArguments(), systemdUnitEnabled, toWrite));
}

}  // namespace velto::host
