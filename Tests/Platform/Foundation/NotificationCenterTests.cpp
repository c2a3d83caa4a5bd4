#include "Platform/Foundation/NotificationCenter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using orvane::Notification;
using orvane::NotificationCenter;

namespace {

class Sender : public orvane::NSObject {};

// Records, in one shared log, the tag of every observer called.
class Recorder {
public:
    Recorder(std::vector<std::string>& log, std::string tag) : log_(log), tag_(std::move(tag)) {}
    void record(const Notification& notification) { log_.push_back(tag_ + ":" + notification.name()); }

private:
    std::vector<std::string>& log_;
    std::string tag_;
};

// Counts its calls and fails the test if it is ever called after destruction.
class Tracked {
public:
    ~Tracked() { alive.store(false); }
    void handle(const Notification&) {
        if (!alive.load()) {
            calledAfterDestruction.fetch_add(1);
        }
        calls.fetch_add(1);
    }
    std::atomic<bool> alive{true};
    std::atomic<int> calls{0};
    static inline std::atomic<int> calledAfterDestruction{0};
};

}  // namespace

TEST(NotificationCenter, deliversByNameAndSenderInRegistrationOrder) {
    NotificationCenter center;
    std::vector<std::string> log;
    auto first = std::make_shared<Sender>();
    auto second = std::make_shared<Sender>();
    auto anyName = std::make_shared<Recorder>(log, "any");
    auto named = std::make_shared<Recorder>(log, "named");
    auto fromFirst = std::make_shared<Recorder>(log, "first");
    center.addObserver(anyName, &Recorder::record, std::nullopt);
    center.addObserver(named, &Recorder::record, "Changed");
    center.addObserver(std::nullopt, nullptr,
                       [&](const Notification& n) { log.push_back("block:" + n.name()); });
    center.addObserver(fromFirst, &Recorder::record, "Changed", first);

    center.post("Changed", first);
    EXPECT_EQ(log,
              (std::vector<std::string>{"any:Changed", "named:Changed", "block:Changed", "first:Changed"}));
    log.clear();
    center.post("Changed", second);
    center.post("Changed");
    center.post("Other", first);
    EXPECT_EQ(log, (std::vector<std::string>{"any:Changed", "named:Changed", "block:Changed", "any:Changed",
                                             "named:Changed", "block:Changed", "any:Other", "block:Other"}));
}

TEST(NotificationCenter, deliversOnThePostingThreadBeforePostReturns) {
    NotificationCenter center;
    std::thread::id handlerThread;
    center.addObserver("Status", nullptr,
                       [&](const Notification&) { handlerThread = std::this_thread::get_id(); });
    std::thread poster([&] {
        center.post("Status");
        EXPECT_EQ(handlerThread, std::this_thread::get_id());
    });
    poster.join();
}

TEST(NotificationCenter, neverCallsADestroyedObserverAndReleasesItsRegistration) {
    NotificationCenter center;
    auto observer = std::make_shared<Tracked>();
    auto captured = std::make_shared<int>(0);
    center.addObserver(
        observer, [captured](Tracked& tracked, const Notification& n) { tracked.handle(n); }, "Ping");
    center.post("Ping");
    EXPECT_EQ(observer->calls, 1);
    observer.reset();
    center.post("Ping");
    EXPECT_EQ(captured.use_count(), 1) << "the dead observer's handler is still held";

    // Released by an earlier handler of the same post, before its turn.
    auto victim = std::make_shared<Tracked>();
    center.addObserver("Ping", nullptr, [&](const Notification&) { victim.reset(); });
    center.addObserver(victim, &Tracked::handle, "Ping");
    center.post("Ping");
    EXPECT_EQ(Tracked::calledAfterDestruction, 0);
}

TEST(NotificationCenter, observerStaysAliveUntilItsHandlerReturns) {
    NotificationCenter center;
    auto owner = std::make_shared<Tracked>();
    std::promise<void> handlerEntered;
    std::promise<void> ownerReleased;
    bool aliveAfterRelease = false;
    center.addObserver(
        owner,
        [&](Tracked& tracked, const Notification&) {
            handlerEntered.set_value();
            ownerReleased.get_future().wait();
            aliveAfterRelease = tracked.alive.load();
        },
        "Ping");
    std::weak_ptr<Tracked> watch = owner;
    std::thread releaser([&] {
        handlerEntered.get_future().wait();
        owner.reset();
        ownerReleased.set_value();
    });
    center.post("Ping");
    releaser.join();
    EXPECT_TRUE(aliveAfterRelease);
    EXPECT_TRUE(watch.expired()) << "the post kept the observer alive after its handler returned";
}

TEST(NotificationCenter, removesByTokenAndByObserver) {
    NotificationCenter center;
    std::vector<std::string> log;
    auto a = std::make_shared<Recorder>(log, "a");
    auto b = std::make_shared<Recorder>(log, "b");
    center.addObserver(a, &Recorder::record, "X");
    center.addObserver(a, &Recorder::record, "Y");
    const auto bToken = center.addObserver(b, &Recorder::record, std::nullopt);
    const auto blockToken =
        center.addObserver("X", nullptr, [&](const Notification&) { log.push_back("block"); });

    center.removeObserver(a);
    center.removeObserver(blockToken);
    center.removeObserver(blockToken);
    center.removeObserver(NotificationCenter::ObserverToken());
    center.post("X");
    center.post("Y");
    EXPECT_EQ(log, (std::vector<std::string>{"b:X", "b:Y"}));
    center.removeObserver(bToken);
    center.post("X");
    EXPECT_EQ(log.size(), 2u);
}

TEST(NotificationCenter, matchesASenderOnlyWhileItLives) {
    NotificationCenter center;
    int calls = 0;
    // Not make_shared: its memory would stay pinned by the registration's weak
    // pointer. This way the allocator is free to hand the address out again.
    std::shared_ptr<Sender> sender(new Sender);
    const void* oldAddress = sender.get();
    center.addObserver("X", sender, [&](const Notification&) { ++calls; });
    center.post("X", sender);
    sender.reset();
    // Even an object made at the dead sender's address is another sender.
    std::shared_ptr<Sender> newcomer(new Sender);
    center.post("X", newcomer);
    EXPECT_EQ(calls, 1) << (newcomer.get() == oldAddress ? "(address was reused)" : "");
}

TEST(NotificationCenter, handlersMayAddRemoveAndPostReentrantly) {
    NotificationCenter center;
    std::vector<std::string> log;
    NotificationCenter::ObserverToken later;
    NotificationCenter::ObserverToken self;
    center.addObserver("Outer", nullptr, [&](const Notification&) {
        log.push_back("first");
        center.addObserver("Outer", nullptr, [&](const Notification&) { log.push_back("added"); });
        center.removeObserver(later);
        center.post("Inner");
    });
    self = center.addObserver("Outer", nullptr, [&](const Notification&) {
        log.push_back("once");
        center.removeObserver(self);
    });
    later = center.addObserver("Outer", nullptr, [&](const Notification&) { log.push_back("removed"); });
    center.addObserver("Inner", nullptr, [&](const Notification&) { log.push_back("inner"); });

    center.post("Outer");
    EXPECT_EQ(log, (std::vector<std::string>{"first", "inner", "once"}));
    log.clear();
    center.post("Outer");
    EXPECT_EQ(log, (std::vector<std::string>{"first", "inner", "added"}));
}

// Posters, adders, removers and observers dying on other threads at once.
// Run under ThreadSanitizer as well.
TEST(NotificationCenter, staysConsistentUnderConcurrentPostAddRemoveAndDestroy) {
    NotificationCenter center;
    std::atomic<bool> stop{false};
    auto counting = std::make_shared<Tracked>();
    center.addObserver(counting, &Tracked::handle, "Tick");

    std::vector<std::jthread> threads;
    for (int poster = 0; poster < 2; ++poster) {
        threads.emplace_back([&] {
            while (!stop.load()) {
                center.post("Tick");
            }
        });
    }
    threads.emplace_back([&] {  // observers that die while posts are running
        for (int round = 0; round < 400; ++round) {
            auto observer = std::make_shared<Tracked>();
            center.addObserver(observer, &Tracked::handle,
                               round % 2 ? std::optional<std::string>("Tick") : std::nullopt);
            if (round % 3 == 0) {
                center.removeObserver(observer);
            }
            std::this_thread::yield();
        }
    });
    threads.emplace_back([&] {  // block registrations added and removed by token
        for (int round = 0; round < 400; ++round) {
            const auto token = center.addObserver("Tick", nullptr, [](const Notification&) {});
            std::this_thread::yield();
            center.removeObserver(token);
        }
    });
    threads[2].join();
    threads[3].join();
    stop.store(true);
    threads.clear();

    EXPECT_EQ(Tracked::calledAfterDestruction, 0);
    const int before = counting->calls;
    center.post("Tick");
    EXPECT_EQ(counting->calls, before + 1);
}
