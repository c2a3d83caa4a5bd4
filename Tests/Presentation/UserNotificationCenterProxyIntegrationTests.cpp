// The user-notification proxy against a notification server on a private
// session bus: python3-dbusmock's notification_daemon template, offering
// actions, played through dbusmock's call log and EmitSignal.
#include "Presentation/UserNotificationCenterProxy.hpp"

#include "Platform/Dispatch/MainLoop.hpp"
#include "Platform/Notifications/DesktopNotificationsBackend.hpp"
#include "Support/PrivateBus.hpp"
#include "Support/StandardErrorCapture.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace orvane;
using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::PrivateBus;

namespace {

constexpr const char* serverName = "org.freedesktop.Notifications";
constexpr const char* serverPath = "/org/freedesktop/Notifications";

class Observer : public UserNotificationCenterProxyObserver {
public:
    void didPropagate(const std::shared_ptr<NSUserNotification>& notification) override {
        seen.push_back(notification->title());
        onMainThread = onMainThread && std::this_thread::get_id() == mainThread;
    }
    std::vector<std::string> seen;
    std::thread::id mainThread = std::this_thread::get_id();
    bool onMainThread = true;
};

class UserNotificationCenterProxyIntegrationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        privateBus = new PrivateBus(PrivateBus::Kind::session);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", privateBus->address().c_str(), 1);
        bus = g_dbus_connection_new_for_address_sync(
            privateBus->address().c_str(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_dbus_connection_set_exit_on_close(bus, FALSE);
    }
    static void TearDownTestSuite() {
        g_clear_object(&bus);
        delete privateBus;
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    void SetUp() override {
        ASSERT_NE(bus, nullptr) << "no private bus";
        startServer();
    }
    void TearDown() override { server.reset(); }

    void startServer() {
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--template", "notification_daemon", "-p",
                                     R"({"capabilities": "body body-markup actions persistence"})"},
            std::vector<std::string>{}, ChildProcess::Output::discard);
        ASSERT_TRUE(privateBus->waitForOwner(serverName)) << "dbusmock did not start";
    }

    static GVariant* callMock(const char* method, GVariant* parameters) {
        return g_dbus_connection_call_sync(bus, serverName, serverPath, "org.freedesktop.DBus.Mock", method,
                                           parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
                                           nullptr);
    }

    // The arguments of every call of `method` the server received, in order.
    static std::vector<GVariant*> calls(const char* method) {
        std::vector<GVariant*> result;
        GVariant* reply = callMock("GetMethodCalls", g_variant_new("(s)", method));
        if (reply == nullptr) {
            return result;
        }
        GVariantIter* iter = nullptr;
        g_variant_get(reply, "(a(tav))", &iter);
        guint64 time = 0;
        GVariantIter* arguments = nullptr;
        while (g_variant_iter_next(iter, "(tav)", &time, &arguments)) {
            GVariantBuilder tuple;
            g_variant_builder_init(&tuple, G_VARIANT_TYPE_TUPLE);
            GVariant* argument = nullptr;
            while (g_variant_iter_next(arguments, "v", &argument)) {
                g_variant_builder_add_value(&tuple, argument);
                g_variant_unref(argument);
            }
            g_variant_iter_free(arguments);
            result.push_back(g_variant_ref_sink(g_variant_builder_end(&tuple)));
        }
        g_variant_iter_free(iter);
        g_variant_unref(reply);
        return result;
    }
    static std::string printed(GVariant* value) {
        gchar* text = g_variant_print(value, FALSE);
        std::string result = text;
        g_free(text);
        // dbusmock hands integers back as it declared them (int32, uint32, int64): compare values.
        for (const std::string prefix : {"uint32 ", "int64 "}) {
            for (auto at = result.find(prefix); at != std::string::npos; at = result.find(prefix)) {
                result.erase(at, prefix.size());
            }
        }
        return result;
    }
    static std::vector<std::string> printedCalls(const char* method) {
        std::vector<std::string> result;
        for (GVariant* call : calls(method)) {
            result.push_back(printed(call));
            g_variant_unref(call);
        }
        return result;
    }
    // Whether the server's id for `notification` reached the center.
    static bool taken(const std::shared_ptr<NSUserNotification>& notification) {
        return MainLoop::runUntil([&] { return notification->actualDeliveryDate().has_value(); }, 20s);
    }
    bool waitForCalls(const char* method, std::size_t count) {
        return MainLoop::runUntil([&] { return calls(method).size() >= count; }, 20s);
    }

    static void emit(const char* name, GVariant* arguments) {
        GVariant* reply = callMock("EmitSignal", g_variant_new("(sss@av)", serverName, name,
                                                               name[0] == 'A' ? "us" : "uu", arguments));
        if (reply != nullptr) {
            g_variant_unref(reply);
        }
    }
    static GVariant* uintAndString(guint32 id, const char* key) {
        GVariant* values[] = {g_variant_new_variant(g_variant_new_uint32(id)),
                              g_variant_new_variant(g_variant_new_string(key))};
        return g_variant_new_array(G_VARIANT_TYPE_VARIANT, values, 2);
    }
    static GVariant* twoUints(guint32 id, guint32 reason) {
        GVariant* values[] = {g_variant_new_variant(g_variant_new_uint32(id)),
                              g_variant_new_variant(g_variant_new_uint32(reason))};
        return g_variant_new_array(G_VARIANT_TYPE_VARIANT, values, 2);
    }

    std::shared_ptr<NSUserNotification> note(std::string title, std::optional<std::string> identifier = {}) {
        auto notification = std::make_shared<NSUserNotification>();
        notification->setTitle(std::move(title));
        notification->setIdentifier(std::move(identifier));
        return notification;
    }

    static inline PrivateBus* privateBus = nullptr;
    static inline GDBusConnection* bus = nullptr;
    std::unique_ptr<ChildProcess> server;
    std::shared_ptr<NSUserNotificationCenter> center =
        NSUserNotificationCenter::create(makeDesktopNotificationsBackend());
    std::shared_ptr<UserNotificationCenterProxy> proxy =
        std::make_shared<UserNotificationCenterProxy>(center);
    std::shared_ptr<Observer> observer = [this] {
        auto made = std::make_shared<Observer>();
        proxy->addObserver(made);
        return made;
    }();
};

TEST_F(UserNotificationCenterProxyIntegrationTest, notifyArgumentsReplacementAndClose) {
    auto first = note("Vault synchronised", "sync");
    first->setSubtitle("Personal");
    first->setInformativeText("12 items <updated> & saved");
    first->setActionButtonTitle("Show");
    first->setSoundName(std::string(NSUserNotificationDefaultSoundName));
    proxy->schedule(first);
    ASSERT_TRUE(waitForCalls("Notify", 1));
    const std::string entry = g_get_prgname() ? g_get_prgname() : program_invocation_short_name;
    EXPECT_EQ(printedCalls("Notify")[0],
              "('" + entry +
                  "', 0, '', 'Vault synchronised', 'Personal\\n12 items &lt;updated&gt; &amp; saved', "
                  "['default', 'Open', 'action-button', 'Show'], {'desktop-entry': <'" +
                  entry + "'>, 'sound-name': <'message-new-instant'>}, -1)");

    // The server answered 1; the same identifier again replaces it.
    ASSERT_TRUE(taken(first));
    auto again = note("Vault synchronised again", "sync");
    proxy->schedule(again);
    ASSERT_TRUE(waitForCalls("Notify", 2));
    EXPECT_NE(printedCalls("Notify")[1].find("1, '', 'Vault synchronised again', '', ['default', 'Open']"),
              std::string::npos)
        << printedCalls("Notify")[1];

    ASSERT_TRUE(taken(again));
    proxy->removeNotificationsWithIdentifier("sync");
    ASSERT_TRUE(waitForCalls("CloseNotification", 1));
    EXPECT_EQ(printedCalls("CloseNotification"), std::vector<std::string>{"(1,)"});
    EXPECT_TRUE(center->deliveredNotifications().empty());
}

TEST_F(UserNotificationCenterProxyIntegrationTest, activationAndDismissalReachObserversOnceOnTheMainLoop) {
    auto clicked = note("clicked");
    clicked->setActionButtonTitle("Show");
    auto dismissed = note("dismissed");
    proxy->schedule(clicked);
    proxy->schedule(dismissed);
    ASSERT_TRUE(taken(clicked) && taken(dismissed));

    // One click on the button: the action, then the closing it causes; and ids not ours.
    emit("ActionInvoked", uintAndString(1, "action-button"));
    emit("NotificationClosed", twoUints(1, 2));
    emit("ActionInvoked", uintAndString(77, "default"));
    emit("NotificationClosed", twoUints(2, 2));
    ASSERT_TRUE(MainLoop::runUntil([&] { return center->deliveredNotifications().empty(); }, 10s));
    EXPECT_EQ(observer->seen, (std::vector<std::string>{"clicked", "dismissed"}));
    EXPECT_EQ(clicked->activationType(), NSUserNotification::ActivationType::actionButtonClicked);
    EXPECT_TRUE(observer->onMainThread);
}

TEST_F(UserNotificationCenterProxyIntegrationTest, scheduledNotificationIsDeliveredWhenItsDatePasses) {
    auto later = note("later");
    later->setDeliveryDate(Date::now().addingTimeInterval(1));
    proxy->schedule(later);
    MainLoop::runFor(50ms);
    EXPECT_EQ(center->scheduledNotifications().size(), 1u);
    ASSERT_TRUE(waitForCalls("Notify", 1));
    EXPECT_TRUE(center->scheduledNotifications().empty());
}

TEST_F(UserNotificationCenterProxyIntegrationTest, serverRestartClearsTheDeliveredList) {
    auto before = note("before restart");
    proxy->schedule(before);
    ASSERT_TRUE(taken(before));
    EXPECT_EQ(center->deliveredNotifications().size(), 1u);
    server.reset();
    EXPECT_TRUE(MainLoop::runUntil([&] { return center->deliveredNotifications().empty(); }, 10s));

    // The new server is asked again, and is posted to.
    startServer();
    proxy->schedule(note("after restart"));
    ASSERT_TRUE(waitForCalls("Notify", 1));
}

TEST_F(UserNotificationCenterProxyIntegrationTest, withoutServerOrBusNotificationsAreDroppedWithOneLogLine) {
    server.reset();
    ASSERT_TRUE(MainLoop::runUntil([] { return !privateBus->hasOwner(serverName); }, 10s));
    const auto logged = testsupport::messagesLoggedBy([&] {
        proxy->schedule(note("one"));
        proxy->schedule(note("two"));
        EXPECT_TRUE(MainLoop::runUntil([&] { return center->deliveredNotifications().empty(); }, 10s));
        MainLoop::runFor(100ms);
        proxy->schedule(note("three"));
        MainLoop::runFor(300ms);
        EXPECT_TRUE(center->deliveredNotifications().empty());
    });
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(logged[0].starts_with("Notifications are dropped: no desktop notification server"))
        << logged[0];

    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/orvane-no-bus-here", 1);
    auto alone = NSUserNotificationCenter::create(makeDesktopNotificationsBackend());
    UserNotificationCenterProxy noBus(alone);
    const auto loggedWithoutBus = testsupport::messagesLoggedBy([&] {
        noBus.schedule(note("nowhere"));
        MainLoop::runFor(300ms);
    });
    ::setenv("DBUS_SESSION_BUS_ADDRESS", privateBus->address().c_str(), 1);
    EXPECT_TRUE(alone->deliveredNotifications().empty());
    EXPECT_EQ(loggedWithoutBus.size(), 1u);
}

}  // namespace
