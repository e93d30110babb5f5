#pragma once

// Keeps where a person dragged the widget on X11, one small text file per
// widget size under `${XDG_STATE_HOME:-$HOME/.local/state}/velto/`. Reading
// trusts nothing: a file that is missing, damaged, oversized or not a regular
// file reads as "no saved position".

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/backends/gtk/window_geometry.hpp"

namespace velto::host::gtk {

/// Largest position file read; a valid one holds two numbers.
inline constexpr std::size_t kMaxPositionFileSize = 64;
/// Coordinates beyond this magnitude are refused as damage.
inline constexpr int kMaxCoordinate = 1'000'000;

/// The file for `name` (a widget size, "small"), from the two variables'
/// values (null when unset); an XDG folder that is not absolute is ignored, as
/// the XDG rules say. Nothing when neither gives an absolute folder.
std::optional<std::filesystem::path> positionFile(std::string_view name, const char* xdgStateHome,
                                                  const char* home);

/// Reads "X Y" (two decimal integers, one space, an optional final newline).
std::optional<ScreenPoint> parsePosition(std::string_view text);

/// The file's text for `point`, which parsePosition reads back.
std::string formatPosition(ScreenPoint point);

/// The saved position, or nothing for any problem with the file.
std::optional<ScreenPoint> loadPosition(const std::filesystem::path& file);

/// Replaces the file atomically and durably (see AtomicFileReplacement), making
/// its folder when needed; a one-line reason on failure.
std::optional<std::string> savePosition(const std::filesystem::path& file, ScreenPoint point);

}  // namespace velto::host::gtk
