#include "host/app/desktop_appearance.hpp"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/foundation/unique_fd.hpp"
#include "platform/gobject/object_ref.hpp"

namespace velto::host {

namespace {

constexpr const char* kInterfaceSchema = "org.gnome.desktop.interface";

struct SchemaDeleter {
  void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct StringDeleter {
  void operator()(gchar* text) const { g_free(text); }
};

void ignoreMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

/// How long the child may take to read the setting.
constexpr int kProbeMilliseconds = 2000;

bool onlyThread() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Threads:", 0) == 0) {
      return std::stoi(line.substr(8)) == 1;
    }
  }
  return false;
}

char encode(std::optional<bool> dark) {
  return dark ? (*dark ? 'd' : 'l') : 'n';
}

std::optional<bool> decode(char answer) {
  if (answer == 'd' || answer == 'l') {
    return answer == 'd';
  }
  return std::nullopt;
}

}  // namespace

std::optional<bool> themePrefersDark(std::string_view gtkTheme) {
  const auto colon = gtkTheme.rfind(':');
  if (colon == std::string_view::npos) {
    return std::nullopt;
  }
  const auto variant = gtkTheme.substr(colon + 1);
  if (variant == "dark") {
    return true;
  }
  if (variant == "light") {
    return false;
  }
  return std::nullopt;
}

namespace {

std::optional<bool> themeSays() {
  const char* theme = std::getenv("GTK_THEME");
  return theme != nullptr ? themePrefersDark(theme) : std::nullopt;
}

/// The desktop's `color-scheme` setting, through GSettings.
std::optional<bool> settingsSay() {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (source == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<GSettingsSchema, SchemaDeleter> schema(
      g_settings_schema_source_lookup(source, kInterfaceSchema, TRUE));
  if (!schema || !g_settings_schema_has_key(schema.get(), "color-scheme")) {
    return std::nullopt;
  }
  // Without a settings service GIO falls back to memory and says so on stderr;
  // that fallback simply knows no preference.
  const guint handler = g_log_set_handler("GLib-GIO", G_LOG_LEVEL_MESSAGE, ignoreMessage, nullptr);
  const platform::gobject::ObjectRef<GSettings> settings(g_settings_new(kInterfaceSchema));
  const std::unique_ptr<gchar, StringDeleter> scheme(
      g_settings_get_string(settings.get(), "color-scheme"));
  g_log_remove_handler("GLib-GIO", handler);
  const std::string value = scheme ? scheme.get() : "";
  if (value == "prefer-dark") {
    return true;
  }
  if (value == "prefer-light") {
    return false;
  }
  return std::nullopt;
}

}  // namespace

std::optional<bool> desktopPrefersDark() {
  if (const auto preference = themeSays()) {
    return preference;
  }
  return settingsSay();
}

std::optional<bool> desktopPrefersDarkApart() {
  if (const auto preference = themeSays()) {
    return preference;
  }
  int ends[2];
  if (!onlyThread() || ::pipe2(ends, O_CLOEXEC) != 0) {
    return settingsSay();
  }
  platform::foundation::UniqueFd reading(ends[0]);
  platform::foundation::UniqueFd writing(ends[1]);
  const pid_t child = ::fork();
  if (child < 0) {
    return settingsSay();
  }
  if (child == 0) {
    const char answer = encode(settingsSay());
    const ssize_t written = ::write(writing.get(), &answer, 1);
    ::_exit(written == 1 ? 0 : 1);
  }
  writing.reset();
  char answer = 'n';
  pollfd ready{reading.get(), POLLIN, 0};
  if (::poll(&ready, 1, kProbeMilliseconds) != 1 || ::read(reading.get(), &answer, 1) != 1) {
    answer = 'n';
    ::kill(child, SIGKILL);
  }
  ::waitpid(child, nullptr, 0);
  return decode(answer);
}

}  // namespace velto::host
