#pragma once

// Ownership of GLib event sources, so every watch and timer of the live host
// goes away with the object that asked for it.

#include <utility>

#include <glib.h>

namespace velto::host::live {

/// A GSource attached to a main context; destroying the owner detaches it.
class AttachedSource {
 public:
  AttachedSource() = default;
  /// Attaches `source` to `context` and takes over the caller's reference.
  AttachedSource(GSource* source, GMainContext* context) : source_(source) {
    g_source_attach(source_, context);
  }
  AttachedSource(AttachedSource&& other) noexcept
      : source_(std::exchange(other.source_, nullptr)) {}
  AttachedSource& operator=(AttachedSource&& other) noexcept {
    if (this != &other) {
      reset();
      source_ = std::exchange(other.source_, nullptr);
    }
    return *this;
  }
  AttachedSource(const AttachedSource&) = delete;
  AttachedSource& operator=(const AttachedSource&) = delete;
  ~AttachedSource() { reset(); }

  /// Detaches the source; safe from inside its own callback.
  void reset() {
    if (source_ != nullptr) {
      g_source_destroy(source_);
      g_source_unref(std::exchange(source_, nullptr));
    }
  }
  GSource* get() const { return source_; }
  explicit operator bool() const { return source_ != nullptr; }

 private:
  GSource* source_ = nullptr;
};

/// Makes `context` the thread's default for the scope, so that GIO objects
/// created meanwhile (file monitors) deliver their signals on it.
class ThreadDefaultContext {
 public:
  explicit ThreadDefaultContext(GMainContext* context) : context_(context) {
    g_main_context_push_thread_default(context_);
  }
  ~ThreadDefaultContext() { g_main_context_pop_thread_default(context_); }
  ThreadDefaultContext(const ThreadDefaultContext&) = delete;
  ThreadDefaultContext& operator=(const ThreadDefaultContext&) = delete;

 private:
  GMainContext* context_;
};

}  // namespace velto::host::live
