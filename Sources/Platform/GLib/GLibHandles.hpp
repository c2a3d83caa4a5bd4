// GLibHandles: owning smart pointers for the GLib and GIO objects the library
// holds, so every path out of an operation releases what it obtained.
// Internal to the library (never installed): the public headers stay free of
// GLib.
//
//   orvane::glib::ErrorPtr error(raw);               // g_error_free
//   orvane::glib::ObjectPtr<GDBusConnection> bus(c);  // g_object_unref
//   orvane::glib::VariantPtr reply(v);                // g_variant_unref
#pragma once

#include <gio/gio.h>

#include <memory>

namespace orvane::glib {

struct ErrorFree {
    void operator()(GError* error) const noexcept { g_error_free(error); }
};
struct ObjectUnref {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
struct VariantUnref {
    void operator()(GVariant* variant) const noexcept { g_variant_unref(variant); }
};
struct ContextUnref {
    void operator()(GMainContext* context) const noexcept { g_main_context_unref(context); }
};
struct StrvFree {
    void operator()(gchar** strings) const noexcept { g_strfreev(strings); }
};
struct StringFree {
    void operator()(gchar* text) const noexcept { g_free(text); }
};
struct HashTableUnref {
    void operator()(GHashTable* table) const noexcept { g_hash_table_unref(table); }
};

using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
template <class T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;
using ContextPtr = std::unique_ptr<GMainContext, ContextUnref>;
using StrvPtr = std::unique_ptr<gchar*, StrvFree>;
using StringPtr = std::unique_ptr<gchar, StringFree>;
using HashTablePtr = std::unique_ptr<GHashTable, HashTableUnref>;

// sinkVariant: takes ownership of a new (floating) variant.
inline VariantPtr sinkVariant(GVariant* variant) {
    return VariantPtr(g_variant_ref_sink(variant));
}

}  // namespace orvane::glib
