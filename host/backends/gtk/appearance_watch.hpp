#pragma once

// Follows the desktop's light or dark preference while the widget runs: the
// Settings portal's colour scheme over D-Bus, live through its change signal,
// and GTK's own settings where the portal is missing or has no preference.

#include <functional>
#include <optional>

#include <gio/gio.h>

#include "host/render/appearance.hpp"
#include "platform/gobject/object_ref.hpp"

namespace velto::host::gtk {

class AppearanceWatch {
 public:
  using Changed = std::function<void(render::Appearance)>;

  /// Starts watching; `changed` is called on the main loop whenever current() changes.
  explicit AppearanceWatch(Changed changed);
  AppearanceWatch(const AppearanceWatch&) = delete;
  AppearanceWatch& operator=(const AppearanceWatch&) = delete;
  ~AppearanceWatch();

  /// The appearance the desktop asks for now.
  render::Appearance current() const;

 private:
  static void busReady(GObject* source, GAsyncResult* result, gpointer self);
  static void readDone(GObject* source, GAsyncResult* result, gpointer self);
  static void settingChanged(GDBusConnection* connection, const gchar* sender, const gchar* path,
                             const gchar* interface, const gchar* signal, GVariant* parameters,
                             gpointer self);
  static void gtkSettingChanged(GObject* settings, GParamSpec* property, gpointer self);
  void read(const char* method);
  void recompute();

  Changed changed_;
  platform::gobject::ObjectRef<GCancellable> cancellable_;
  platform::gobject::ObjectRef<GDBusConnection> bus_;
  guint subscription_ = 0;
  std::optional<render::Appearance> portal_;
  render::Appearance current_ = render::Appearance::light;
  std::vector<gulong> gtkHandlers_;
};

}  // namespace velto::host::gtk
