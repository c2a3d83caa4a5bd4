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

    bool waitForFirings(int count) {
        return runUntil([&] { return firings >= count; }, 10s);
    }
};

}  // namespace

TEST(ServiceTimer, newTimerIsStoppedAndNamed) {
    CountedTimer counted;
    EXPECT_FALSE(counted.timer->isValid());
    EXPECT_EQ(counted.timer->name(), "Service Timer");
    EXPECT_EQ(ServiceTimer::create(1, "Vault refresh")->name(), "Vault refresh");
    runFor(100ms);
    EXPECT_EQ(counted.firings, 0);
}

TEST(ServiceTimer, firesRepeatedlyOnTheMainThreadUntilStopped) {
    CountedTimer counted;
    counted.timer->start();
    EXPECT_TRUE(counted.timer->isValid());
    ASSERT_TRUE(counted.waitForFirings(3));
    EXPECT_TRUE(counted.onMainThread);
    counted.timer->stop();
    EXPECT_FALSE(counted.timer->isValid());
    counted.timer->stop();  // a second stop does nothing
    const int stoppedAt = counted.firings;
    runFor(100ms);
    EXPECT_EQ(counted.firings, stoppedAt);
}

TEST(ServiceTimer, startingTwiceSchedulesOneTimer) {
    CountedTimer counted;
    counted.timer->start();
    counted.timer->start();
    counted.timer->stop();  // a second platform timer would survive this
    runFor(100ms);
    EXPECT_EQ(counted.firings, 0);
}

TEST(ServiceTimer, changingTheIntervalRestartsButTheSameValueDoesNothing) {
    CountedTimer counted;
    counted.timer->setTimeInterval(interval);
    EXPECT_FALSE(counted.timer->isValid());
    counted.timer->setTimeInterval(interval * 2);
    EXPECT_TRUE(counted.timer->isValid());
    EXPECT_EQ(counted.timer->timeInterval(), interval * 2);
    ASSERT_TRUE(counted.waitForFirings(1));
    counted.timer->restart();  // replaces the timer: one stop still silences it
    counted.timer->stop();

    // A running hour-long timer given a short interval fires at the new one.
    counted.timer->setTimeInterval(3600);
    counted.timer->start();
    const int beforeShortening = counted.firings;
    counted.timer->setTimeInterval(interval);
    EXPECT_TRUE(runUntil([&] { return counted.firings > beforeShortening; }, 10s));
    counted.timer->restart();
    counted.timer->stop();
    const int stoppedAt = counted.firings;
    runFor(100ms);
    EXPECT_EQ(counted.firings, stoppedAt);
}

TEST(ServiceTimer, callbackIsReadAtEachFiring) {
    auto timer = ServiceTimer::create(interval);
    timer->start();
    runFor(60ms);  // firings without a callback do nothing
    int firings = 0;
    timer->setCallback([&] { ++firings; });
    EXPECT_TRUE(runUntil([&] { return firings >= 2; }, 10s));
    timer->stop();
}

TEST(ServiceTimer, aStartedTimerKeepsItselfAliveUntilStopped) {
    int firings = 0;
    std::weak_ptr<ServiceTimer> weak;
    {
        auto timer = ServiceTimer::create(interval);
        timer->setCallback([&] { ++firings; });
        timer->start();
        weak = timer;
    }
    ASSERT_FALSE(weak.expired());
    ASSERT_TRUE(runUntil([&] { return firings >= 2; }, 10s));
    weak.lock()->stop();
    runFor(50ms);
    EXPECT_TRUE(weak.expired());

    std::weak_ptr<ServiceTimer> neverStarted = ServiceTimer::create(interval);
    EXPECT_TRUE(neverStarted.expired());
}
