#pragma once

#include <chrono>
#include <functional>

#include <glib.h>

#include "host/live/glib_source.hpp"

namespace velto::host::live {

/// A one-shot monotonic timer on a main context, for reply deadlines, backoff
/// and short settling delays. Starting it again replaces the pending shot.
class Timeout {
 public:
  explicit Timeout(GMainContext* context) : context_(context) {}
  Timeout(const Timeout&) = delete;
  Timeout& operator=(const Timeout&) = delete;

  /// Calls `fire` once, `delay` from now, unless cancelled or restarted first.
  void start(std::chrono::milliseconds delay, std::function<void()> fire);
  void cancel();
  bool pending() const { return static_cast<bool>(source_); }

 private:
  static gboolean dispatch(gpointer self);

  GMainContext* context_;
  AttachedSource source_;
  std::function<void()> fire_;
};

}  // namespace velto::host::live
