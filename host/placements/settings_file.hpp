#pragma once

// widget.ini: the placements the desktop shows, one `[widget NAME]` group each,
// in GLib's key-file format. Every mistake is an error that names its group,
// key and line, so that a typo is never silently ignored.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/placements/placement.hpp"
#include "platform/foundation/expected.hpp"

namespace velto::host::placements {

/// The largest settings file that is read or parsed at all.
inline constexpr std::size_t kMaxSettingsFileSize = 1024 * 1024;

/// What is wrong with a settings file, and where.
struct SettingsError {
  /// The group as its header names it ("widget left"); "" outside any group.
  std::string group;
  std::string key;
  /// 1-based; 0 when the line is not known.
  int line = 0;
  std::string message;

  /// One line for a person: `widget.ini:7: [widget left] family: "huge" is not
  /// small or medium`.
  std::string describe(std::string_view fileName) const;

  friend bool operator==(const SettingsError&, const SettingsError&) = default;
};

/// The placements of a settings file's text, in the order of their groups. Text
/// without any group (empty, or comments only) gives none, which the desktop
/// takes as the default placement.
platform::foundation::Expected<std::vector<Placement>, SettingsError> parseSettings(
    std::string_view text);

/// `${XDG_CONFIG_HOME:-$HOME/.config}/velto/widget.ini`, by platform::foundation::configHome's rules.
std::optional<std::filesystem::path> settingsFilePath(const char* xdgConfigHome, const char* home);

/// The text of the settings file, or nothing when there is no such file. A file
/// larger than kMaxSettingsFileSize, or one that is no regular file, is refused
/// without being read.
platform::foundation::Expected<std::optional<std::string>, SettingsError> readSettingsFile(
    const std::filesystem::path& file);

}  // namespace velto::host::placements
