// ContextScope: makes a GLib main context the calling thread's thread-default
// context for the scope's lifetime.
//
// The rule every GLib-touching file of the library follows: a GLib source, a
// D-Bus signal subscription, an asynchronous call's reply and a
// GNetworkMonitor all belong to the thread-default main context that was
// current when they were made, and are delivered only by whoever iterates that
// context. So each of them is made inside a ContextScope that names its
// context explicitly:
// - callbacks that reach the application on the main thread: the default main
//   context (`ContextScope onMain(g_main_context_default())`);
// - bounded calls: the private context of a BoundedWait, which pushes it itself.
// Nothing that must outlive a bounded call may be made inside one.
//
// Thread safety: a scope is used on one thread; scopes nest.
//
//   {
//       orvane::glib::ContextScope onMain(g_main_context_default());
//       subscription = SignalSubscription(connection, match, handler);
//   }
#pragma once

#include <gio/gio.h>

namespace orvane::glib {

class ContextScope {
public:
    explicit ContextScope(GMainContext* context) : context_(context) {
        g_main_context_push_thread_default(context_);
    }
    ~ContextScope() { g_main_context_pop_thread_default(context_); }

    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    GMainContext* context_;
};

}  // namespace orvane::glib
