#pragma once

// The one owner of GObject references, for every layer that holds GLib, GIO,
// Pango or GTK objects.

#include <memory>

#include <glib-object.h>

namespace platform::gobject {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

/// A GObject of type T owned through one reference; construct it from a
/// reference the caller owns (a `_new` result, or `g_object_ref`).
template <class T>
using ObjectRef = std::unique_ptr<T, ObjectUnref>;

}  // namespace platform::gobject
