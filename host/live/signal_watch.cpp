#include "host/live/signal_watch.hpp"

#include <glib-unix.h>

namespace velto::host::live {

SignalWatch::SignalWatch(GMainContext* context, int signal, std::function<void()> received)
    : received_(std::move(received)) {
  GSource* source = g_unix_signal_source_new(signal);
  g_source_set_callback(source, &SignalWatch::dispatch, this, nullptr);
  source_ = AttachedSource(source, context);
}

gboolean SignalWatch::dispatch(gpointer self) {
  static_cast<SignalWatch*>(self)->received_();
  return G_SOURCE_CONTINUE;
}

}  // namespace velto::host::live
