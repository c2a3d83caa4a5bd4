// Scheduling 100 notifications through the user-notification proxy until
// every Notify reply is processed, beside 100 asynchronous raw Notify calls on
// one GDBus connection to the same server, their replies awaited the same way.
//
// The notification server is this process's own: a minimal
// org.freedesktop.Notifications object exported with
// g_dbus_connection_register_object on a second connection, on a private bus
// the program starts itself (dbus-daemon), so no Python and no desktop are
// measured. Both sides are served by the GLib default main context.
#include "Platform/Dispatch/MainLoop.hpp"
#include "Platform/Notifications/DesktopNotificationsBackend.hpp"
#include "Presentation/UserNotificationCenterProxy.hpp"

#include <benchmark/benchmark.h>
#include <gio/gio.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int batch = 100;
constexpr const char* serverName = "org.freedesktop.Notifications";
constexpr const char* serverPath = "/org/freedesktop/Notifications";

const char* const introspection = R"(<node><interface name="org.freedesktop.Notifications">
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
  <method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/></method>
  <method name="CloseNotification"><arg type="u" direction="in"/></method>
</interface></node>)";

guint32 nextId = 1;

void serve(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    if (g_str_equal(method, "GetCapabilities")) {
        const gchar* capabilities[] = {"body", "body-markup", "actions", "persistence", nullptr};
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
    } else if (g_str_equal(method, "Notify")) {
        guint32 replaces = 0;
        g_variant_get_child(parameters, 1, "u", &replaces);
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(u)", replaces != 0 ? replaces : nextId++));
    } else {
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
}

GDBusConnection* connectTo(const std::string& address) {
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (connection != nullptr) {
        g_dbus_connection_set_exit_on_close(connection, FALSE);
    }
    return connection;
}

// The private bus and the server on it, for the whole run.
struct Server {
    std::filesystem::path folder;
    pid_t daemon = -1;
    GDBusConnection* connection = nullptr;
    std::string error;

    Server() {
        char name[] = "/tmp/orvane-notification-benchmark-XXXXXX";
        folder = ::mkdtemp(name);
        const auto socket = folder / "bus";
        std::ofstream(folder / "session.conf")
            << "<busconfig><type>session</type><listen>unix:path=" << socket.string()
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
               "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>\n";
        std::string configuration = "--config-file=";
        configuration += (folder / "session.conf").string();
        daemon = ::fork();
        if (daemon == 0) {
            ::execlp("dbus-daemon", "dbus-daemon", "--nofork", "--nopidfile", configuration.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int attempt = 0; attempt < 200 && !std::filesystem::exists(socket); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::string address = "unix:path=";
        address += socket.string();
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        connection = connectTo(address);
        if (connection == nullptr) {
            error = "dbus-daemon did not start";
            return;
        }
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
        static const GDBusInterfaceVTable table = {serve, nullptr, nullptr, {}};
        g_dbus_connection_register_object(connection, serverPath, node->interfaces[0], &table, nullptr,
                                          nullptr, nullptr);
        g_dbus_node_info_unref(node);
        GVariant* owned = g_dbus_connection_call_sync(
            connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", serverName, 4u), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        if (owned == nullptr) {
            error = "could not own org.freedesktop.Notifications";
        } else {
            g_variant_unref(owned);
        }
    }
    ~Server() {
        if (connection != nullptr) {
            g_object_unref(connection);
        }
        if (daemon > 0) {
            ::kill(daemon, SIGTERM);
            ::waitpid(daemon, nullptr, 0);
        }
        std::filesystem::remove_all(folder);
    }
};

Server& server() {
    static Server shared;
    return shared;
}

void BM_ProxyScheduling(benchmark::State& state) {
    if (!server().error.empty()) {
        state.SkipWithError(server().error.c_str());
        return;
    }
    auto center = orvane::NSUserNotificationCenter::create(orvane::makeDesktopNotificationsBackend());
    orvane::UserNotificationCenterProxy proxy(center);
    std::vector<std::shared_ptr<orvane::NSUserNotification>> notes;
    for (int i = 0; i < batch; ++i) {
        auto note = std::make_shared<orvane::NSUserNotification>();
        note->setIdentifier(std::to_string(i));
        note->setTitle("Vault synchronised");
        note->setInformativeText("12 items updated");
        notes.push_back(note);
    }
    for (auto _ : state) {
        for (const auto& note : notes) {
            note->setActualDeliveryDate(std::nullopt);
            proxy.schedule(note);
        }
        const bool done = orvane::MainLoop::runUntil(
            [&] {
                return std::all_of(notes.begin(), notes.end(),
                                   [](const auto& note) { return note->actualDeliveryDate().has_value(); });
            },
            std::chrono::seconds(30));
        if (!done) {
            state.SkipWithError("the server did not answer");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * batch);
}

void BM_RawNotify(benchmark::State& state) {
    if (!server().error.empty()) {
        state.SkipWithError(server().error.c_str());
        return;
    }
    GDBusConnection* client = connectTo(std::getenv("DBUS_SESSION_BUS_ADDRESS"));
    int answered = 0;
    const auto reply = [](GObject* source, GAsyncResult* result, gpointer data) {
        GVariant* value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
        if (value != nullptr) {
            g_variant_unref(value);
        }
        ++*static_cast<int*>(data);
    };
    for (auto _ : state) {
        answered = 0;
        for (int i = 0; i < batch; ++i) {
            const gchar* actions[] = {"default", "Open", nullptr};
            GVariantBuilder hints;
            g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                                  g_variant_new_string("NotificationBenchmark"));
            g_dbus_connection_call(
                client, serverName, serverPath, serverName, "Notify",
                g_variant_new("(susss^asa{sv}i)", "NotificationBenchmark", 0u, "", "Vault synchronised",
                              "12 items updated", actions, &hints, -1),
                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 25000, nullptr, reply, &answered);
        }
        while (answered < batch) {
            g_main_context_iteration(nullptr, TRUE);
        }
    }
    state.SetItemsProcessed(state.iterations() * batch);
    g_object_unref(client);
}

BENCHMARK(BM_ProxyScheduling)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawNotify)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
