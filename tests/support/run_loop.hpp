#pragma once

// Drives a main context in tests until something has happened, with a generous
// bound so that a fault fails the test instead of hanging it.

#include <chrono>
#include <functional>

#include <glib.h>

#include "host/live/timeout.hpp"

namespace velto::host::live::testing {

/// Iterates `context` until `done` holds or `limit` has passed; returns `done()`.
/// `done` is also checked every few milliseconds, for what the loop does not see.
inline bool runUntil(GMainContext* context, const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  bool expired = false;
  Timeout guard(context);
  guard.start(limit, [&expired] { expired = true; });
  GSource* poll = g_timeout_source_new(5);
  g_source_set_callback(
      poll, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
  const AttachedSource polling(poll, context);
  while (!done() && !expired) {
    g_main_context_iteration(context, TRUE);
  }
  return done();
}

/// Iterates `context` for `span`, handling whatever comes meanwhile.
inline void runFor(GMainContext* context, std::chrono::milliseconds span) {
  bool over = false;
  Timeout stop(context);
  stop.start(span, [&over] { over = true; });
  while (!over) {
    g_main_context_iteration(context, TRUE);
  }
}

/// A fresh main context for one test.
class TestContext {
 public:
  TestContext() : context_(g_main_context_new()) {}
  ~TestContext() { g_main_context_unref(context_); }
  TestContext(const TestContext&) = delete;
  TestContext& operator=(const TestContext&) = delete;
  GMainContext* get() const { return context_; }

 private:
  GMainContext* context_;
};

}  // namespace velto::host::live::testing
