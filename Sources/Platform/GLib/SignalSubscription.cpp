#include "Platform/GLib/SignalSubscription.hpp"

#include "Platform/GLib/ContextScope.hpp"

#include <utility>

namespace orvane::glib {

namespace {

const char* orNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

void dispatch(GDBusConnection*, const gchar* sender, const gchar* path, const gchar* interface,
              const gchar* member, GVariant* parameters, gpointer data) {
    (*static_cast<SignalSubscription::Handler*>(data))(Signal{sender, path, interface, member, parameters});
}

void freeHandler(gpointer data) {
    delete static_cast<SignalSubscription::Handler*>(data);
}

}  // namespace

SignalSubscription::SignalSubscription(GDBusConnection* connection, GMainContext* deliverOn,
                                       const SignalMatch& match, Handler handler)
    : connection_(G_DBUS_CONNECTION(g_object_ref(connection))) {
    const ContextScope scope(deliverOn);
    id_ = g_dbus_connection_signal_subscribe(connection, orNull(match.sender), orNull(match.interface),
                                             orNull(match.member), orNull(match.path), orNull(match.arg0),
                                             G_DBUS_SIGNAL_FLAGS_NONE, &dispatch,
                                             new Handler(std::move(handler)), &freeHandler);
}

SignalSubscription::SignalSubscription(SignalSubscription&& other) noexcept
    : connection_(std::move(other.connection_)), id_(std::exchange(other.id_, 0)) {}

SignalSubscription& SignalSubscription::operator=(SignalSubscription&& other) noexcept {
    if (this != &other) {
        reset();
        connection_ = std::move(other.connection_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

SignalSubscription::~SignalSubscription() {
    reset();
}

void SignalSubscription::reset() {
    if (id_ != 0) {
        g_dbus_connection_signal_unsubscribe(connection_.get(), std::exchange(id_, 0));
    }
    connection_.reset();
}

}  // namespace orvane::glib
