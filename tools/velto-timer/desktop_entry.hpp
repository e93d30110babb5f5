#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/foundation/expected.hpp"

namespace velto::timer {

/// The desktop entry's file name, which is also its desktop ID.
inline constexpr std::string_view kDesktopEntryName = "velto-timer.desktop";

/// The content type of velto: links.
inline constexpr std::string_view kSchemeContentType = "x-scheme-handler/velto";

/// Why registering or unregistering failed: a sysexits status and one line.
struct DesktopError {
  int status;
  std::string message;
};

/// The desktop entry that hands velto: links to `program open URL`. Fails for a
/// path that a desktop entry cannot hold (bytes that are not UTF-8, a control
/// character) with EX_CANTCREAT.
platform::foundation::Expected<std::string, DesktopError> desktopEntryText(
    const std::filesystem::path& program);

/// `${XDG_DATA_HOME:-$HOME/.local/share}/applications`, either variable counting
/// only when absolute; empty when neither is.
std::filesystem::path applicationsFolder();

/// Writes the desktop entry for `program` into applicationsFolder() and makes it
/// the default handler of velto: links through GIO.
platform::foundation::Expected<void, DesktopError> registerLinkHandler(
    const std::filesystem::path& program);

/// Takes velto-timer back as the handler of velto: links, when it is the one, and
/// removes its desktop entry. Succeeds when nothing was registered.
platform::foundation::Expected<void, DesktopError> unregisterLinkHandler();

}  // namespace velto::timer
