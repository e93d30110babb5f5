#include "host/app/desktop_appearance.hpp"

#include <cstdlib>
#include <memory>
#include <string>

#include <gio/gio.h>

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

std::optional<bool> desktopPrefersDark() {
  if (const char* theme = std::getenv("GTK_THEME")) {
    if (const auto preference = themePrefersDark(theme)) {
      return preference;
    }
  }
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

}  // namespace velto::host
