#include "host/session/internal/bus_claim.hpp"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include <gio/gio.h>

#include "platform/gobject/object_ref.hpp"

namespace velto::host::session::internal {
namespace {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::gobject::ObjectRef;

constexpr const char* kRequestAction = "request";
// Long enough for a loaded bus, short enough that quitting never seems to hang.
constexpr int kBusCallTimeoutMs = 5000;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorRef = std::unique_ptr<GError, ErrorFree>;

/// The name on the bus and the "request" action that later launches activate.
class BusClaim final : public SessionHost::Claim {
 public:
  explicit BusClaim(SessionHandlers handlers) : handlers_(std::move(handlers)) {}
  BusClaim(const BusClaim&) = delete;
  BusClaim& operator=(const BusClaim&) = delete;
  ~BusClaim() override {
    if (!app_) {
      return;
    }
    g_signal_handlers_disconnect_by_data(action_.get(), this);
    g_signal_handlers_disconnect_by_data(app_.get(), this);
    GDBusConnection* bus = g_application_get_dbus_connection(app_.get());
    const ObjectRef<GDBusConnection> keptBus(bus != nullptr ? G_DBUS_CONNECTION(g_object_ref(bus))
                                                            : nullptr);
    action_.reset();
    // Releases the name; the round trip after it makes sure the bus has let go
    // before this returns, so a launch that follows becomes the host.
    app_.reset();
    if (keptBus) {
      GVariant* reply = g_dbus_connection_call_sync(
          keptBus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "GetId", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs, nullptr, nullptr);
      if (reply != nullptr) {
        g_variant_unref(reply);
      }
    }
  }

  SessionChannel channel() const override { return SessionChannel::sessionBus; }

  /// Sets up `app` and its action to call this object; before registering.
  void listen(ObjectRef<GApplication> app, ObjectRef<GSimpleAction> action) {
    app_ = std::move(app);
    action_ = std::move(action);
    g_signal_connect(action_.get(), "activate", G_CALLBACK(&BusClaim::actionActivated), this);
    g_signal_connect(app_.get(), "activate", G_CALLBACK(&BusClaim::applicationActivated), this);
  }

  GApplication* application() const { return app_.get(); }

  /// Gives up the application: it holds no name, or another process's.
  ObjectRef<GApplication> forget() {
    g_signal_handlers_disconnect_by_data(action_.get(), this);
    g_signal_handlers_disconnect_by_data(app_.get(), this);
    action_.reset();
    return std::move(app_);
  }

 private:
  static void actionActivated(GSimpleAction*, GVariant* parameter, gpointer self) {
    const auto& handlers = static_cast<BusClaim*>(self)->handlers_;
    if (parameter == nullptr || !g_variant_is_of_type(parameter, G_VARIANT_TYPE_STRING_ARRAY)) {
      deliver(handlers, Unexpected(std::string("not an array of arguments")));
      return;
    }
    std::vector<std::string> arguments;
    const gsize count = g_variant_n_children(parameter);
    if (count > kMaxRequestArguments) {
      deliver(handlers,
              Unexpected("more than " + std::to_string(kMaxRequestArguments) + " arguments"));
      return;
    }
    for (gsize i = 0; i < count; ++i) {
      gsize length = 0;
      GVariant* item = g_variant_get_child_value(parameter, i);
      const gchar* text = g_variant_get_string(item, &length);
      arguments.emplace_back(text, length);
      g_variant_unref(item);
    }
    deliver(handlers, checkedRequest(std::move(arguments)));
  }

  // `gapplication launch` and desktop launchers activate the application: the
  // same as a launch without placement options.
  static void applicationActivated(GApplication*, gpointer self) {
    deliver(static_cast<BusClaim*>(self)->handlers_, HostRequest{});
  }

  SessionHandlers handlers_;
  ObjectRef<GApplication> app_;
  ObjectRef<GSimpleAction> action_;
};

/// Whether a session bus is advertised: by its address, or by the user bus's
/// socket in the runtime folder. Without either, GIO would try to start a bus
/// of its own for the X11 display (dbus-launch), which no other host can be on.
bool sessionBusAdvertised() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') {
    return true;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime != '/') {
    return false;
  }
  std::error_code error;
  return std::filesystem::is_socket(std::filesystem::path(runtime) / "bus", error);
}

GVariant* argumentsVariant(const HostRequest& request) {
  std::vector<const char*> words;
  for (const std::string& argument : request.placementArguments) {
    words.push_back(argument.c_str());
  }
  return g_variant_new_strv(words.data(), static_cast<gssize>(words.size()));
}

}  // namespace

Expected<ChannelOutcome, std::string> claimOnSessionBus(const std::string& applicationId,
                                                        const HostRequest& request,
                                                        const SessionHandlers& handlers) {
  if (!g_application_id_is_valid(applicationId.c_str())) {
    return Unexpected("'" + applicationId + "' is no application id");
  }
  if (!sessionBusAdvertised()) {
    return ChannelUnavailable{"no session bus"};
  }
#if GLIB_CHECK_VERSION(2, 74, 0)
  constexpr GApplicationFlags kFlags = G_APPLICATION_DEFAULT_FLAGS;
#else
  constexpr GApplicationFlags kFlags = G_APPLICATION_FLAGS_NONE;
#endif
  auto claim = std::make_unique<BusClaim>(handlers);
  ObjectRef<GApplication> created(g_application_new(applicationId.c_str(), kFlags));
  ObjectRef<GSimpleAction> action(g_simple_action_new(kRequestAction, G_VARIANT_TYPE_STRING_ARRAY));
  g_action_map_add_action(G_ACTION_MAP(created.get()), G_ACTION(action.get()));
  claim->listen(std::move(created), std::move(action));

  GApplication* app = claim->application();
  GError* rawError = nullptr;
  const bool registered = g_application_register(app, nullptr, &rawError) != FALSE;
  const ErrorRef error(rawError);
  // GApplication goes on without uniqueness where it cannot reach the bus, and
  // fails where the bus answers but will not give out the name: both leave the
  // decision to the runtime folder.
  if (!registered) {
    claim->forget();
    return ChannelUnavailable{"the session bus refused the name: "
                              + std::string(error ? error->message : "no reason given")};
  }
  GDBusConnection* bus = g_application_get_dbus_connection(app);
  if (bus == nullptr) {
    claim->forget();
    return ChannelUnavailable{"no session bus"};
  }
  if (!g_application_get_is_remote(app)) {
    return std::unique_ptr<SessionHost::Claim>(std::move(claim));
  }

  const ObjectRef<GApplication> remote = claim->forget();
  if (!g_action_group_has_action(G_ACTION_GROUP(remote.get()), kRequestAction)) {
    return Unexpected(std::string("the running host takes no requests"));
  }
  g_action_group_activate_action(G_ACTION_GROUP(remote.get()), kRequestAction,
                                 argumentsVariant(request));
  GError* rawFlushError = nullptr;
  const bool flushed = g_dbus_connection_flush_sync(bus, nullptr, &rawFlushError) != FALSE;
  const ErrorRef flushError(rawFlushError);
  if (!flushed) {
    return Unexpected("cannot reach the running host: " + std::string(flushError->message));
  }
  return ChannelOutcome(ToldRunningHost{SessionChannel::sessionBus});
}

}  // namespace velto::host::session::internal
