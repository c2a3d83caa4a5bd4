#include "Platform/GLib/BusConnection.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace orvane::glib {

namespace {

constexpr const char* systemBusSocket = "/var/run/dbus/system_bus_socket";

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::string unixPathAddress(const std::string& path) {
    const StringPtr escaped(g_dbus_address_escape_value(path.c_str()));
    return std::string("unix:path=") + escaped.get();
}

// userBusSocket: $XDG_RUNTIME_DIR/bus when it is a socket this user owns.
std::optional<std::string> userBusSocket() {
    const auto runtimeDirectory = environmentValue("XDG_RUNTIME_DIR");
    if (!runtimeDirectory) {
        return std::nullopt;
    }
    const std::string path = *runtimeDirectory + "/bus";
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) || status.st_uid != geteuid()) {
        return std::nullopt;
    }
    return unixPathAddress(path);
}

}  // namespace

std::optional<std::string> busAddress(Bus bus) {
    if (bus == Bus::system) {
        if (auto named = environmentValue("DBUS_SYSTEM_BUS_ADDRESS")) {
            return named;
        }
        return unixPathAddress(systemBusSocket);
    }
    if (auto named = environmentValue("DBUS_SESSION_BUS_ADDRESS")) {
        // GLib would launch a bus for this entry; we never do.
        if (std::string_view(*named).find("autolaunch:") != std::string_view::npos) {
            return std::nullopt;
        }
        return named;
    }
    return userBusSocket();
}

ObjectPtr<GDBusConnection> openBusConnection(const std::string& address, BoundedWait& wait, GError** error) {
    auto done = wait.run([&](GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
        g_dbus_connection_new_for_address(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, cancellable, callback, data);
    });
    if (!done) {
        return nullptr;
    }
    ObjectPtr<GDBusConnection> connection(g_dbus_connection_new_for_address_finish(done.get(), error));
    if (connection) {
        g_dbus_connection_set_exit_on_close(connection.get(), FALSE);
    }
    return connection;
}

}  // namespace orvane::glib
