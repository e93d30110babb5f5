#pragma once

// `velto-widget-host autostart`: starts the desktop widget at login through the
// XDG autostart folder, never together with the systemd user unit.

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/placements/placement.hpp"
#include "platform/foundation/expected.hpp"

namespace CLI {
class App;
}

namespace velto::host {

/// The systemd user unit that is the other way of starting at login.
inline constexpr const char* kSystemdUnit = "velto-widget";

/// `${XDG_CONFIG_HOME:-$HOME/.config}/autostart/velto-widget-host.desktop`; a
/// relative or empty XDG_CONFIG_HOME is ignored, as the XDG rules say. Nothing when
/// neither gives an absolute folder.
std::optional<std::filesystem::path> autostartFilePath(const char* xdgConfigHome, const char* home);

/// One argument as a desktop entry's Exec key needs it: quoted when it holds a
/// reserved character, `%` doubled, and escaped again for the file's string
/// rules. Nothing for an argument with a control character, which no Exec line
/// can carry.
std::optional<std::string> execArgument(std::string_view argument);

/// The autostart entry that runs `program desktop ARGUMENTS…`, or the first
/// argument it cannot carry.
platform::foundation::Expected<std::string, std::string> autostartEntry(
    const std::filesystem::path& program, std::span<const std::string> desktopArguments);

/// Asks whether the systemd user unit is enabled.
using UnitEnabled = std::function<bool()>;

/// `systemctl --user is-enabled velto-widget`, run without a shell; a missing
/// systemctl or user manager counts as not enabled.
bool systemdUnitEnabled();

/// What an autostart action ends with: the line for the person, and the status.
struct AutostartOutcome {
  int status;
  std::string message;
};

/// A placement that `enable` writes into the settings file.
struct PlacementToWrite {
  std::filesystem::path settingsFile;
  placements::Placement placement;
};

/// Writes the entry atomically unless the unit is enabled; before it, the
/// placement, if any, into the settings file. When the placement cannot be
/// written (the settings file has a mistake, say), nothing is written.
AutostartOutcome enableAutostart(const std::filesystem::path& file,
                                 const std::filesystem::path& program,
                                 std::span<const std::string> desktopArguments,
                                 const UnitEnabled& unitEnabled,
                                 const std::optional<PlacementToWrite>& placement = std::nullopt);

/// Removes the entry; one that is not there is not a failure.
AutostartOutcome disableAutostart(const std::filesystem::path& file);

/// Says which way, if any, starts the widget at login.
AutostartOutcome autostartStatus(const std::filesystem::path& file, const UnitEnabled& unitEnabled);

/// The `autostart` command with `enable`, `disable` and `status`. `enable` takes
/// the desktop command's options: those that place the widget go into the
/// settings file as one placement, the others onto the entry's command line.
class AutostartCommand {
 public:
  explicit AutostartCommand(CLI::App& program);
  AutostartCommand(const AutostartCommand&) = delete;
  AutostartCommand& operator=(const AutostartCommand&) = delete;

  /// Whether the command line chose this command.
  bool chosen() const;

  /// Carries it out and returns the exit status; prints its own lines.
  int run() const;

 private:
  std::vector<std::string> desktopArguments() const;
  /// The placement the options give; nothing when no option places the widget.
  std::optional<placements::Placement> placement() const;

  CLI::App* command_;
  CLI::App* enable_;
  CLI::App* disable_;
  CLI::App* status_;
  std::optional<std::string> family_;
  std::optional<std::string> position_;
  std::optional<int> margin_;
  std::optional<std::string> output_;
  std::optional<std::string> appearance_;
  std::string name_ = "main";
  std::optional<std::string> extension_;
  bool verbose_ = false;
};

}  // namespace velto::host
