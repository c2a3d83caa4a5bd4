// The user-notification proxy against a notification server on a private
// session bus: python3-dbusmock's notification_daemon template, offering
// actions, played through dbusmock's call log and EmitSignal.
#include "Presentation/UserNotificationCenterProxy.hpp"

#include "Platform/Dispatch/MainLoop.hpp"
#include "Platform/Notifications/DesktopNotificationsBackend.hpp"
#include "Support/PrivateBus.hpp"
#include "Support/StandardErrorCapture.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <regex>
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
    }
    static void TearDownTestSuite() {
        delete privateBus;
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    void SetUp() override {
        ASSERT_FALSE(privateBus->address().empty()) << "no private bus";
        proxy->addObserver(observer);
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

    static std::string callMock(const std::string& method, const std::vector<std::string>& arguments) {
        return privateBus->call(serverName, serverPath, "org.freedesktop.DBus.Mock." + method, arguments);
    }
    // The arguments of every call of `method` the server received, in order, as gdbus prints them.
    static std::vector<std::string> calls(const char* method) {
        const std::string log = callMock("GetMethodCalls", {method});
        // (Only the first timestamp carries its type.)
        static const std::regex call(R"(\((?:uint64 )?\d+, (\[.*?\])\)(?=, \(\d|\],\)))");
        std::vector<std::string> result;
        for (auto match = std::sregex_iterator(log.begin(), log.end(), call); match != std::sregex_iterator();
             ++match) {
            result.push_back((*match)[1]);
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

    // Plays a signal of the server; `arguments` as gdbus reads a value of type av.
    static void emit(const char* name, const char* signature, const std::string& arguments) {
        callMock("EmitSignal", {serverName, name, signature, arguments});
    }

    std::shared_ptr<NSUserNotification> note(std::string title, std::optional<std::string> identifier = {}) {
        auto notification = std::make_shared<NSUserNotification>();
        notification->setTitle(std::move(title));
        notification->setIdentifier(std::move(identifier));
        return notification;
    }

    static inline PrivateBus* privateBus = nullptr;
    std::unique_ptr<ChildProcess> server;
    std::shared_ptr<NSUserNotificationCenter> center =
        NSUserNotificationCenter::create(makeDesktopNotificationsBackend());
    std::shared_ptr<UserNotificationCenterProxy> proxy =
        std::make_shared<UserNotificationCenterProxy>(center);
    std::shared_ptr<Observer> observer = std::make_shared<Observer>();
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
    EXPECT_EQ(calls("Notify")[0],
              "[<'" + entry +
                  "'>, <uint32 0>, <''>, <'Vault synchronised'>, <'Personal\\n12 items &lt;updated&gt; &amp; saved'>, "
                  "<['default', 'Open', 'action-button', 'Show']>, <{'desktop-entry': <'" +
                  entry + "'>, 'sound-name': <'message-new-instant'>}>, <-1>]");

    // The server answered 1; the same identifier again replaces it.
    ASSERT_TRUE(taken(first));
    auto again = note("Vault synchronised again", "sync");
    proxy->schedule(again);
    ASSERT_TRUE(waitForCalls("Notify", 2));
    EXPECT_NE(calls("Notify")[1].find("<uint32 1>, <''>, <'Vault synchronised again'>, <''>, <['default', 'Open']>"),
              std::string::npos)
        << calls("Notify")[1];

    ASSERT_TRUE(taken(again));
    proxy->removeNotificationsWithIdentifier("sync");
    ASSERT_TRUE(waitForCalls("CloseNotification", 1));
    EXPECT_EQ(calls("CloseNotification"), std::vector<std::string>{"[<1>]"});  // dbusmock logs it as an int32
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
    emit("ActionInvoked", "us", "[<uint32 1>, <'action-button'>]");
    emit("NotificationClosed", "uu", "[<uint32 1>, <uint32 2>]");
    emit("ActionInvoked", "us", "[<uint32 77>, <'default'>]");
    emit("NotificationClosed", "uu", "[<uint32 2>, <uint32 2>]");
    ASSERT_TRUE(MainLoop::runUntil([&] { return center->deliveredNotifications().empty(); }, 10s));
    EXPECT_EQ(observer->seen, (std::vector<std::string>{"clicked", "dismissed"}));
    EXPECT_EQ(clicked->activationType(), NSUserNotification::ActivationType::actionButtonClicked);
    EXPECT_TRUE(observer->onMainThread);
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
