#include "Platform/Dispatch/WorkerPool.hpp"

#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <time.h>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::DispatchSemaphore;
using orvane::WorkerPool;
using orvane::MainLoop::runUntil;

// A pool of its own, small enough to reach its limits quickly.
constexpr WorkerPool::Limits smallLimits{
    .eagerThreads = 1, .maxThreads = 3, .stallInterval = 5ms, .idleTimeout = 200ms};

TEST(WorkerPool, growsPastTheEagerCountWhenJobsBlockButNeverPastTheCapThenShrinksToNothing) {
    WorkerPool pool(smallLimits);
    EXPECT_EQ(pool.threadCount(), 0U);
    auto gate = std::make_shared<DispatchSemaphore>(0);
    std::atomic<int> finished = 0;
    for (int i = 0; i < 5; ++i) {
        pool.submit([gate, &finished] {
            gate->wait();
            gate->signal();
            ++finished;
        });
    }
    EXPECT_TRUE(runUntil([&] { return pool.threadCount() == 3; }, 10s));
    std::this_thread::sleep_for(50ms);  // many stall intervals later: still capped
    EXPECT_EQ(pool.peakThreadCount(), 3U);
    EXPECT_EQ(finished, 0);
    gate->signal();
    EXPECT_TRUE(runUntil([&] { return finished == 5; }, 10s));

    // Idle workers exit, and the pool starts again.
    EXPECT_TRUE(runUntil([&] { return pool.threadCount() == 0; }, 10s));
    pool.submit([&] { ++finished; });
    EXPECT_TRUE(runUntil([&] { return finished == 6; }, 10s));
}

// Spins until this thread has used `amount` of CPU time.
void burnCpu(std::chrono::milliseconds amount) {
    const auto used = [] {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
    };
    const auto until = used() + amount;
    while (used() < until) {
    }
}

TEST(WorkerPool, busyJobsNeverGrowThePoolPastTheEagerCount) {
    WorkerPool pool(
        WorkerPool::Limits{.eagerThreads = 2, .maxThreads = 16, .stallInterval = 20ms, .idleTimeout = 200ms});
    std::atomic<int> finished = 0;
    for (int i = 0; i < 16; ++i) {
        pool.submit([&finished] {
            burnCpu(60ms);
            ++finished;
        });
    }
    EXPECT_TRUE(runUntil([&] { return finished == 16; }, 60s));
    EXPECT_LE(pool.peakThreadCount(), 3U);
}

TEST(WorkerPool, aDeadlineSubmittedLaterButDueEarlierFiresFirst) {
    DispatchSemaphore nearer(0), held(0), release(0), done(0);  // outlive the pool's threads
    WorkerPool pool(smallLimits);
    // The timer sleeps towards an hour-away deadline: a nearer one must wake it.
    pool.submitAt(orvane::DispatchTime::now() + 3600.0, [] { ADD_FAILURE() << "an hour-away hand-off ran"; });
    pool.submitAt(orvane::DispatchTime::now() + 0.01, [&] { nearer.signal(); });
    EXPECT_TRUE(nearer.wait(10s));

    // With the timer thread held, both are due by the time it looks again.
    std::vector<int> order;  // written by hand-offs only, which run one at a time
    pool.submitAt(orvane::DispatchTime::now(), [&] {
        held.signal();
        release.wait();
    });
    ASSERT_TRUE(held.wait(10s));
    const auto now = orvane::DispatchTime::now();
    pool.submitAt(now + -0.001, [&] { order.push_back(2); });
    pool.submitAt(now + -0.002, [&] { order.push_back(1); });
    pool.submitAt(now, [&] { done.signal(); });
    release.signal();
    ASSERT_TRUE(done.wait(10s));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

}  // namespace
