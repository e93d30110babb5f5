#include "host/backends/gtk/appearance_watch.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtk/gtk.h>

#include "host/backends/gtk/color_scheme.hpp"

namespace velto::host::gtk {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettings = "org.freedesktop.portal.Settings";
constexpr const char* kNamespace = "org.freedesktop.appearance";
constexpr const char* kKey = "color-scheme";

/// Whether a session bus can be reached without GIO starting one of its own
/// (its X11 autolaunch would leave a stray bus daemon behind).
bool sessionBusKnown() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
      address != nullptr && address[0] != '\0') {
    return true;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  return runtime != nullptr && runtime[0] == '/'
         && std::filesystem::exists(std::filesystem::path(runtime) / "bus", error);
}

render::Appearance fromGtk() {
  GtkSettings* settings = gtk_settings_get_default();
  if (settings == nullptr) {
    return render::Appearance::light;
  }
  gboolean preferDark = FALSE;
  gchar* theme = nullptr;
  g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, "gtk-theme-name", &theme,
               nullptr);
  const auto appearance =
      appearanceFromGtkSettings(preferDark != FALSE, theme != nullptr ? theme : "");
  g_free(theme);
  return appearance;
}

}  // namespace

AppearanceWatch::AppearanceWatch(Changed changed)
    : changed_(std::move(changed)), cancellable_(g_cancellable_new()) {
  if (GtkSettings* settings = gtk_settings_get_default()) {
    for (const char* signal :
         {"notify::gtk-application-prefer-dark-theme", "notify::gtk-theme-name"}) {
      gtkHandlers_.push_back(
          g_signal_connect(settings, signal, G_CALLBACK(gtkSettingChanged), this));
    }
  }
  current_ = fromGtk();
  if (sessionBusKnown()) {
    g_bus_get(G_BUS_TYPE_SESSION, cancellable_.get(), busReady, this);
  }
}

AppearanceWatch::~AppearanceWatch() {
  g_cancellable_cancel(cancellable_.get());
  if (subscription_ != 0 && bus_) {
    g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
  }
  if (GtkSettings* settings = gtk_settings_get_default()) {
    for (const gulong handler : gtkHandlers_) {
      g_signal_handler_disconnect(settings, handler);
    }
  }
}

render::Appearance AppearanceWatch::current() const {
  return current_;
}

void AppearanceWatch::busReady(GObject*, GAsyncResult* result, gpointer self) {
  GDBusConnection* bus = g_bus_get_finish(result, nullptr);
  if (bus == nullptr) {
    return;  // cancelled (self is gone) or no bus: GTK's settings stand
  }
  auto* watch = static_cast<AppearanceWatch*>(self);
  watch->bus_ = platform::gobject::ObjectRef<GDBusConnection>(bus);
  watch->subscription_ = g_dbus_connection_signal_subscribe(
      bus, kPortal, kSettings, "SettingChanged", kPortalPath, kNamespace, G_DBUS_SIGNAL_FLAGS_NONE,
      settingChanged, watch, nullptr);
  watch->read("ReadOne");
}

void AppearanceWatch::read(const char* method) {
  g_dbus_connection_call(bus_.get(), kPortal, kPortalPath, kSettings, method,
                         g_variant_new("(ss)", kNamespace, kKey), nullptr,
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, cancellable_.get(), readDone, this);
}

void AppearanceWatch::readDone(GObject* source, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (reply == nullptr) {
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    const bool unknownMethod = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD);
    g_error_free(error);
    // Portals before version 2 know only Read.
    if (!cancelled && unknownMethod) {
      static_cast<AppearanceWatch*>(self)->read("Read");
    }
    return;
  }
  auto* watch = static_cast<AppearanceWatch*>(self);
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  watch->portal_ = appearanceFromColorScheme(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  watch->recompute();
}

void AppearanceWatch::settingChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar*, GVariant* parameters, gpointer self) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) {
    return;
  }
  const gchar* space = nullptr;
  const gchar* key = nullptr;
  GVariant* value = nullptr;
  g_variant_get(parameters, "(&s&sv)", &space, &key, &value);
  auto* watch = static_cast<AppearanceWatch*>(self);
  if (std::string_view(space) == kNamespace && std::string_view(key) == kKey) {
    watch->portal_ = appearanceFromColorScheme(value);
    watch->recompute();
  }
  g_variant_unref(value);
}

void AppearanceWatch::gtkSettingChanged(GObject*, GParamSpec*, gpointer self) {
  static_cast<AppearanceWatch*>(self)->recompute();
}

void AppearanceWatch::recompute() {
  const auto now = portal_.value_or(fromGtk());
  if (now != current_) {
    current_ = now;
    changed_(now);
  }
}

}  // namespace velto::host::gtk
