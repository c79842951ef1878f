#pragma once
// Owning pointers for GLib and GIO objects.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <memory>

namespace corvane::platform {

struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
struct GObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template<typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

} // namespace corvane::platform
