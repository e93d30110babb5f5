#pragma once

#include <functional>

#include <glib.h>

#include "host/live/glib_source.hpp"

namespace velto::host::live {

/// Turns a POSIX signal (SIGINT, SIGTERM, SIGHUP, SIGWINCH, …) into a call on a
/// main context, outside the signal handler, for as long as it lives.
class SignalWatch {
 public:
  SignalWatch(GMainContext* context, int signal, std::function<void()> received);
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

 private:
  static gboolean dispatch(gpointer self);

  std::function<void()> received_;
  AttachedSource source_;
};

}  // namespace velto::host::live
