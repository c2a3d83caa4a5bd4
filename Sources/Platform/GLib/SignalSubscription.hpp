// SignalSubscription: one D-Bus signal subscription, delivered on a chosen
// main context, ended when the object is destroyed.
//
// D-Bus signals are broadcast: subscribe with the sender (a well-known name is
// resolved to its current owner by GDBus) and object path of the peer you
// talk to, and still ignore what is not yours (ids you did not make). Watch
// the sender's NameOwnerChanged to forget state when the service restarts.
//
// The handler runs on whichever thread iterates `deliverOn`, the context that
// is pushed as thread-default while subscribing (see ContextScope.hpp): the
// default main context for callbacks that reach the application on the main
// thread. GDBus frees the handler from that context after unsubscribing.
//
// Thread safety: make and destroy on any thread; the handler runs as above.
//
//   glib::SignalSubscription closed(bus, g_main_context_default(),
//       {.sender = "org.freedesktop.Notifications", .interface = "org.freedesktop.Notifications",
//        .member = "NotificationClosed", .path = "/org/freedesktop/Notifications"},
//       [](const glib::Signal& signal) { ... signal.parameters ... });
#pragma once

#include "Platform/GLib/GLibHandles.hpp"

#include <functional>
#include <string>

namespace orvane::glib {

// What to listen for; an empty field matches anything.
struct SignalMatch {
    std::string sender;
    std::string interface;
    std::string member;
    std::string path;
    std::string arg0;
};

// Signal: one signal as the handler sees it; valid during the call only.
struct Signal {
    const char* sender;
    const char* path;
    const char* interface;
    const char* member;
    GVariant* parameters;
};

class SignalSubscription {
public:
    using Handler = std::function<void(const Signal&)>;

    SignalSubscription() = default;
    SignalSubscription(GDBusConnection* connection, GMainContext* deliverOn, const SignalMatch& match,
                       Handler handler);
    SignalSubscription(SignalSubscription&& other) noexcept;
    SignalSubscription& operator=(SignalSubscription&& other) noexcept;
    SignalSubscription(const SignalSubscription&) = delete;
    SignalSubscription& operator=(const SignalSubscription&) = delete;
    ~SignalSubscription();

    bool active() const { return id_ != 0; }
    // reset: ends the subscription now; no handler call starts after it.
    void reset();

private:
    ObjectPtr<GDBusConnection> connection_;
    guint id_ = 0;
};

}  // namespace orvane::glib
