#include "Concurrency/ServiceTimer.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using orvane::ServiceTimer;
using orvane::MainLoop::runFor;
using orvane::MainLoop::runUntil;
using namespace std::chrono_literals;

namespace {

constexpr double interval = 0.02;

// A timer whose callback counts its firings on the main thread.
struct CountedTimer {
    CountedTimer() {
        timer->setCallback([this] {
            ++firings;
            onMainThread = onMainThread && std::this_thread::get_id() == mainThread;
        });
    }
    ~CountedTimer() { timer->stop(); }  // the callback must not outlive this object
    std::shared_ptr<ServiceTimer> timer = ServiceTimer::create(interval);
    int firings = 0;
    bool onMainThread = true;
    std::thread::id mainThread = std::this_thread::get_id();
    // Stops the timer; true if nothing fires afterwards.
    bool staysQuietAfterStop() {
        timer->stop();
        const int stoppedAt = firings;
        runFor(100ms);
        return !timer->isValid() && firings == stoppedAt;
    }
};

}  // namespace

TEST(ServiceTimer, firesRepeatedlyOnTheMainThreadFromStartUntilStop) {
    CountedTimer counted;
    runFor(50ms);
    EXPECT_EQ(counted.firings, 0) << "a new timer is stopped";
    counted.timer->start();
    counted.timer->start();  // a second platform timer would survive the stop below
    EXPECT_TRUE(counted.timer->isValid());
    ASSERT_TRUE(runUntil([&] { return counted.firings >= 3; }, 10s));
    EXPECT_TRUE(counted.onMainThread);
    EXPECT_TRUE(counted.staysQuietAfterStop());
}

TEST(ServiceTimer, changingTheIntervalRestartsButTheSameValueDoesNothing) {
    CountedTimer counted;
    counted.timer->setTimeInterval(interval);
    EXPECT_FALSE(counted.timer->isValid());
    counted.timer->setTimeInterval(interval * 2);
    EXPECT_TRUE(counted.timer->isValid());
    ASSERT_TRUE(runUntil([&] { return counted.firings >= 1; }, 10s));
    counted.timer->restart();  // replaces the timer: one stop still silences it
    EXPECT_TRUE(counted.staysQuietAfterStop());

    // A running hour-long timer restarted with a short interval fires at the new one.
    counted.timer->setTimeInterval(3600);
    counted.timer->start();
    const int beforeShortening = counted.firings;
    counted.timer->setTimeInterval(interval);
    EXPECT_TRUE(runUntil([&] { return counted.firings > beforeShortening; }, 10s));
    EXPECT_TRUE(counted.staysQuietAfterStop());
}

TEST(ServiceTimer, aStartedTimerKeepsItselfAliveUntilStoppedAndReadsItsCallbackAtEachFiring) {
    std::weak_ptr<ServiceTimer> weak = ServiceTimer::create(interval);
    EXPECT_TRUE(weak.expired()) << "one never started keeps nothing alive";
    {
        auto timer = ServiceTimer::create(interval);
        timer->start();
        weak = timer;
    }
    runFor(60ms);  // firings without a callback do nothing
    ASSERT_FALSE(weak.expired());
    int firings = 0;
    weak.lock()->setCallback([&] { ++firings; });
    ASSERT_TRUE(runUntil([&] { return firings >= 2; }, 10s));
    weak.lock()->stop();
    EXPECT_TRUE(runUntil([&] { return weak.expired(); }, 10s));
}
