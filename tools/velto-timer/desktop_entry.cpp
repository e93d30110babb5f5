#include "tools/velto-timer/desktop_entry.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <sysexits.h>
#include <unistd.h>

#include "platform/foundation/atomic_file_replacement.hpp"
#include "platform/foundation/defaults_error.hpp"
#include "platform/foundation/printable_text.hpp"
#include "platform/foundation/utf8.hpp"
#include "platform/gobject/object_ref.hpp"

namespace velto::timer {

namespace {

using platform::foundation::quotedForMessage;
using platform::foundation::Unexpected;

Unexpected<DesktopError> failure(int status, std::string message) {
  return Unexpected(DesktopError{status, std::move(message)});
}

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// The file's new contents put in place by rename, so that a reader never sees half of it.
platform::foundation::Expected<void, DesktopError> replaceFile(const std::filesystem::path& path,
                                                               std::string_view contents) {
  using Step = platform::foundation::ReplacementError::Step;
  const auto replaced = platform::foundation::replaceFileAtomically(path, contents, {.mode = 0644});
  if (replaced) {
    return {};
  }
  const platform::foundation::ReplacementError& error = replaced.error();
  if (error.step == Step::create) {
    return failure(EX_CANTCREAT, "cannot create a temporary file beside "
                                     + quotedForMessage(path.native()) + ": "
                                     + std::strerror(error.error));
  }
  return failure(EX_IOERR, "cannot write " + quotedForMessage(path.native()) + ": "
                               + std::strerror(error.error));
}

std::filesystem::path absoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? std::filesystem::path(value)
                                             : std::filesystem::path();
}

}  // namespace

platform::foundation::Expected<std::string, DesktopError> desktopEntryText(
    const std::filesystem::path& program) {
  // The Exec key quotes a path that holds a reserved character: inside quotes
  // '"', '`', '$' and '\' take a backslash, and the value as a whole escapes '\'
  // once more.
  constexpr std::string_view kReserved = " \t\"'\\><~|&;$*?#()`";
  const std::string& path = program.native();
  // The Desktop Entry format holds only UTF-8: a value with other bytes makes
  // the whole entry unreadable to GIO, which then finds no Exec key at all.
  if (!platform::foundation::isValidUtf8(path)) {
    return failure(EX_CANTCREAT, "cannot name '" + platform::foundation::printableText(path)
                                     + "' in a desktop entry: the path is not valid UTF-8");
  }
  // The format would write '%' as "%%", but GIO looks for the program before it
  // expands that, finds none, and drops the entry.
  if (path.find('%') != std::string::npos) {
    return failure(EX_CANTCREAT, "cannot name '" + platform::foundation::printableText(path)
                                     + "' in a desktop entry: GIO runs no program whose path "
                                       "holds '%'");
  }
  const bool quote = path.find_first_of(kReserved) != std::string::npos;
  std::string quoted = quote ? "\"" : "";
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return failure(EX_CANTCREAT, "cannot name '" + platform::foundation::printableText(path)
                                       + "' in a desktop entry: it holds a control character");
    }
    if (c == '"' || c == '`' || c == '$') {
      quoted += "\\\\";
    } else if (c == '\\') {
      quoted += "\\\\\\";
    }
    quoted += c;
  }
  if (quote) {
    quoted += '"';
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Velto Timer\n"
         "Comment=Starts, pauses and stops the timer that the Velto widget shows\n"
         "Exec="
         + quoted
         + " open %u\n"
           "MimeType=x-scheme-handler/velto;\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

std::filesystem::path applicationsFolder() {
  std::filesystem::path data = absoluteFromEnvironment("XDG_DATA_HOME");
  if (data.empty()) {
    const std::filesystem::path home = absoluteFromEnvironment("HOME");
    if (home.empty()) {
      return {};
    }
    data = home / ".local" / "share";
  }
  return data / "applications";
}

platform::foundation::Expected<void, DesktopError> registerLinkHandler(
    const std::filesystem::path& program) {
  const std::filesystem::path folder = applicationsFolder();
  if (folder.empty()) {
    return failure(EX_CONFIG, "no data folder: neither XDG_DATA_HOME nor HOME is an absolute path");
  }
  const auto text = desktopEntryText(program);
  if (!text) {
    return Unexpected(text.error());
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return failure(EX_CANTCREAT,
                   "cannot create " + quotedForMessage(folder.native()) + ": " + error.message());
  }
  if (auto written = replaceFile(folder / kDesktopEntryName, *text); !written) {
    return written;
  }
  const platform::gobject::ObjectRef<GDesktopAppInfo> info(
      g_desktop_app_info_new(std::string(kDesktopEntryName).c_str()));
  if (!info) {
    // An entry that GIO cannot read would only hide the reason from the next try.
    ::unlink((folder / kDesktopEntryName).c_str());
    return failure(EX_SOFTWARE, "GIO does not find " + quotedForMessage(kDesktopEntryName) + " in "
                                    + quotedForMessage(folder.native()));
  }
  GError* rawError = nullptr;
  if (!g_app_info_set_as_default_for_type(G_APP_INFO(info.get()),
                                          std::string(kSchemeContentType).c_str(), &rawError)) {
    const std::unique_ptr<GError, GErrorFree> owned(rawError);
    return failure(EX_CANTCREAT,
                   std::string("cannot make velto-timer the handler of velto: links: ")
                       + (owned ? owned->message : "unknown error"));
  }
  return {};
}

platform::foundation::Expected<void, DesktopError> unregisterLinkHandler() {
  const std::string type(kSchemeContentType);
  const platform::gobject::ObjectRef<GAppInfo> current(
      g_app_info_get_default_for_type(type.c_str(), FALSE));
  if (current && g_app_info_get_id(current.get()) != nullptr
      && std::string_view(g_app_info_get_id(current.get())) == kDesktopEntryName) {
    g_app_info_reset_type_associations(type.c_str());
  }
  const std::filesystem::path folder = applicationsFolder();
  if (folder.empty()) {
    return {};
  }
  const std::filesystem::path entry = folder / kDesktopEntryName;
  if (::unlink(entry.c_str()) != 0 && errno != ENOENT) {
    const int error = errno;
    return failure(EX_CANTCREAT, "cannot remove " + quotedForMessage(entry.native()) + ": "
                                     + std::strerror(error));
  }
  return {};
}

}  // namespace velto::timer
