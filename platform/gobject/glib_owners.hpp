#pragma once

// Owners of the plain GLib values that are no GObjects: errors, key files,
// strings and string arrays that GLib hands over to the caller.

#include <memory>

#include <glib.h>

namespace platform::gobject {

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
/// A GError the caller owns; fill it through `GError* raw = nullptr; …(&raw)`.
using ErrorOwner = std::unique_ptr<GError, ErrorFree>;

struct KeyFileUnref {
  void operator()(GKeyFile* keyFile) const { g_key_file_unref(keyFile); }
};
using KeyFileOwner = std::unique_ptr<GKeyFile, KeyFileUnref>;

struct CharsFree {
  void operator()(gchar* text) const { g_free(text); }
};
/// A string GLib allocated and gave to the caller.
using CharsOwner = std::unique_ptr<gchar, CharsFree>;

struct StrvFree {
  void operator()(gchar** strings) const { g_strfreev(strings); }
};
/// A NULL-terminated string array GLib allocated and gave to the caller.
using StrvOwner = std::unique_ptr<gchar*, StrvFree>;

}  // namespace platform::gobject
