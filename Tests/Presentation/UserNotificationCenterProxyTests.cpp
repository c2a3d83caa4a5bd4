#include "Presentation/UserNotificationCenterProxy.hpp"

#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace orvane;
using namespace std::chrono_literals;

constexpr auto clicked = NSUserNotification::ActivationType::contentsClicked;

namespace {

// A notification server in memory: the test answers posts and plays the
// server's signals.
class FakeBackend : public UserNotificationBackend {
public:
    struct Post {
        std::uint32_t replacesId;
        Posted posted;
    };

    void setEvents(Events given) override { events = std::move(given); }
    void post(const NSUserNotification&, std::uint32_t replacesId, Posted posted) override {
        posts.push_back({replacesId, std::move(posted)});
    }
    void close(std::uint32_t id) override { closes.push_back(id); }

    // answer: the server's reply to post `index`.
    void answer(std::size_t index, std::optional<std::uint32_t> id) { posts.at(index).posted(id); }

    Events events;
    std::vector<Post> posts;
    std::vector<std::uint32_t> closes;
};

class CountingObserver : public UserNotificationCenterProxyObserver {
public:
    void didPropagate(const std::shared_ptr<NSUserNotification>& notification) override {
        seen.push_back(notification->title());
    }
    std::vector<std::string> seen;
};

std::shared_ptr<NSUserNotification> note(std::string title,
                                         std::optional<std::string> identifier = std::nullopt,
                                         ObjectDictionary info = {}) {
    auto notification = std::make_shared<NSUserNotification>();
    notification->setTitle(std::move(title));
    notification->setIdentifier(std::move(identifier));
    notification->setUserInfo(std::move(info));
    return notification;
}

// Runs every block the main queue holds now.
void drain() {
    bool done = false;
    DispatchQueue::main()->async([&] { done = true; });
    ASSERT_TRUE(MainLoop::runUntil([&] { return done; }, 10s));
}

std::vector<std::string> titles(const NSUserNotificationCenter::Notifications& list) {
    std::vector<std::string> result;
    for (const auto& notification : list) {
        result.push_back(notification->title());
    }
    return result;
}

class UserNotificationCenterProxyTest : public ::testing::Test {
protected:
    // Delivers `notification` and lets the server give it `id`.
    void deliver(const std::shared_ptr<NSUserNotification>& notification, std::uint32_t id) {
        proxy->schedule(notification);
        drain();
        backend->answer(backend->posts.size() - 1, id);
    }
    void scheduleLater(const std::shared_ptr<NSUserNotification>& notification) {
        notification->setDeliveryDate(Date::now().addingTimeInterval(3600));
        proxy->schedule(notification);
        drain();
    }

    std::shared_ptr<FakeBackend> backend = std::make_shared<FakeBackend>();
    std::shared_ptr<NSUserNotificationCenter> center = NSUserNotificationCenter::create(backend);
    std::shared_ptr<UserNotificationCenterProxy> proxy =
        std::make_shared<UserNotificationCenterProxy>(center);
};

TEST_F(UserNotificationCenterProxyTest, readyMadeRemovalsSearchTheListsOfTheirState) {
    struct Case {
        const char* name;
        std::function<void(UserNotificationCenterProxy&)> remove;
        std::vector<std::string> scheduledLeft;
        std::vector<std::string> deliveredLeft;
    };
    const std::vector<Case> cases = {
        {"identifier, any", [](auto& p) { p.removeNotificationsWithIdentifier("a"); },
         {"s-none", "s-5"}, {"d-none", "d-text5", "d-nokey"}},
        {"identifier, delivered",
         [](auto& p) { p.removeNotificationsWithIdentifier("a", UserNotificationState::delivered); },
         {"s-a", "s-none", "s-5"}, {"d-none", "d-text5", "d-nokey"}},
        {"identifier, scheduled",
         [](auto& p) { p.removeNotificationsWithIdentifier("a", UserNotificationState::scheduled); },
         {"s-none", "s-5"}, {"d-a", "d-none", "d-text5", "d-nokey"}},
        {"integer 5 matches only integers", [](auto& p) { p.removeNotificationsWhereUserInfoKey("k", 5); },
         {"s-a", "s-none"}, {"d-a", "d-none", "d-text5", "d-nokey"}},
        {"string 5 matches only strings", [](auto& p) { p.removeNotificationsWhereUserInfoKey("k", "5"); },
         {"s-a", "s-none", "s-5"}, {"d-a", "d-none", "d-nokey"}},
        {"predicate", [](auto& p) { p.removeNotifications([](const auto& n) { return n.title().ends_with("e"); }); },
         {"s-a", "s-5"}, {"d-a", "d-text5", "d-nokey"}},
        {"all", [](auto& p) { p.removeAllNotifications(); }, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend = std::make_shared<FakeBackend>();
        center = NSUserNotificationCenter::create(backend);
        proxy = std::make_shared<UserNotificationCenterProxy>(center);
        scheduleLater(note("s-a", "a"));
        scheduleLater(note("s-none"));
        scheduleLater(note("s-5", "five", {{"k", Object(5)}}));
        deliver(note("d-a", "a"), 1);
        deliver(note("d-none"), 2);
        deliver(note("d-text5", std::nullopt, {{"k", Object("5")}}), 3);
        deliver(note("d-nokey", std::nullopt, {{"other", Object(5)}}), 4);
        c.remove(*proxy);
        drain();
        EXPECT_EQ(titles(center->scheduledNotifications()), c.scheduledLeft);
        EXPECT_EQ(titles(center->deliveredNotifications()), c.deliveredLeft);
        // Each delivered notification removed is closed on the server.
        EXPECT_EQ(backend->closes.size(), 4 - c.deliveredLeft.size());
    }
}

TEST_F(UserNotificationCenterProxyTest, serverEventsReachEachLiveObserverOnce) {
    struct Case {
        const char* name;
        std::function<void(FakeBackend&)> play;
        std::vector<std::string> seen;
        std::size_t deliveredLeft;
    };
    const std::vector<Case> cases = {
        {"delivery alone", [](auto&) {}, {}, 1},
        {"activation", [](auto& b) { b.events.activated(7, clicked); }, {"hello"}, 1},
        {"dismissal", [](auto& b) { b.events.closed(7, 2); }, {"hello"}, 0},
        {"one click: action then closed", [](auto& b) { b.events.activated(7, clicked), b.events.closed(7, 2); },
         {"hello"}, 0},
        {"expired", [](auto& b) { b.events.closed(7, 1); }, {}, 0},
        {"closed by a call", [](auto& b) { b.events.closed(7, 3); }, {}, 0},
        {"ids not ours",
         [](auto& b) { b.events.activated(8, clicked), b.events.closed(9, 2), b.events.closed(0, 2); }, {}, 1},
        {"server restarted", [](auto& b) { b.events.serverRestarted(), b.events.activated(7, clicked); }, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend = std::make_shared<FakeBackend>();
        center = NSUserNotificationCenter::create(backend);
        proxy = std::make_shared<UserNotificationCenterProxy>(center);
        auto first = std::make_shared<CountingObserver>();
        auto second = std::make_shared<CountingObserver>();
        proxy->addObserver(first);
        proxy->addObserver(second);
        const auto notification = note("hello", "h");
        deliver(notification, 7);
        // Shown even while the application is in front.
        EXPECT_TRUE(notification->isPresented());
        c.play(*backend);
        EXPECT_EQ(first->seen, c.seen);
        EXPECT_EQ(second->seen, c.seen);
        EXPECT_EQ(center->deliveredNotifications().size(), c.deliveredLeft);
    }
}

TEST_F(UserNotificationCenterProxyTest, releasedObserverIsNotCalledAndIsDropped) {
    auto kept = std::make_shared<CountingObserver>();
    auto released = std::make_shared<CountingObserver>();
    proxy->addObserver(kept);
    proxy->addObserver(released);
    released.reset();
    proxy->propagate(note("x"));
    EXPECT_EQ(kept->seen, std::vector<std::string>{"x"});
    proxy->removeObserver(kept);
    proxy->propagate(note("y"));
    EXPECT_EQ(kept->seen, std::vector<std::string>{"x"});
}

TEST_F(UserNotificationCenterProxyTest, theProxyMadeLastGetsTheCallbacks) {
    auto earlier = std::make_shared<CountingObserver>();
    proxy->addObserver(earlier);
    auto later = std::make_shared<UserNotificationCenterProxy>(center);
    auto latest = std::make_shared<CountingObserver>();
    later->addObserver(latest);
    deliver(note("n"), 3);
    backend->events.activated(3, clicked);
    EXPECT_TRUE(earlier->seen.empty());
    EXPECT_EQ(latest->seen, std::vector<std::string>{"n"});
}

TEST_F(UserNotificationCenterProxyTest, blocksQueuedBeforeTheProxyDiedDoNothing) {
    deliver(note("kept", "k"), 1);
    proxy->schedule(note("lost"));
    proxy->removeAllNotifications();
    proxy.reset();
    drain();
    EXPECT_EQ(backend->posts.size(), 1u);
    EXPECT_EQ(center->deliveredNotifications().size(), 1u);
}

TEST_F(UserNotificationCenterProxyTest, centerKeepsTrackOfTheServersIds) {
    // Re-posting a delivered identifier replaces it on the server.
    deliver(note("v1", "same"), 5);
    deliver(note("v2", "same"), 5);
    EXPECT_EQ(backend->posts[1].replacesId, 5u);
    EXPECT_EQ(titles(center->deliveredNotifications()), std::vector<std::string>{"v2"});

    // Removed before its id arrives: closed when the id does.
    proxy->schedule(note("early"));
    drain();
    proxy->removeNotifications([](const auto& n) { return n.title() == "early"; });
    drain();
    EXPECT_TRUE(backend->closes.empty());
    backend->answer(2, 9);
    EXPECT_EQ(backend->closes, std::vector<std::uint32_t>{9});
    backend->events.activated(9, clicked);

    // A post the server never took is dropped.
    proxy->schedule(note("dropped"));
    drain();
    backend->answer(3, std::nullopt);
    EXPECT_EQ(titles(center->deliveredNotifications()), std::vector<std::string>{"v2"});
}

TEST_F(UserNotificationCenterProxyTest, scheduledNotificationIsDeliveredWhenItsDatePasses) {
    auto soon = note("soon");
    soon->setDeliveryDate(Date::now().addingTimeInterval(0.05));
    proxy->schedule(soon);
    drain();
    EXPECT_TRUE(MainLoop::runUntil([&] { return !backend->posts.empty(); }, 10s));
    EXPECT_TRUE(center->scheduledNotifications().empty());
    EXPECT_EQ(titles(center->deliveredNotifications()), std::vector<std::string>{"soon"});
}

}  // namespace
