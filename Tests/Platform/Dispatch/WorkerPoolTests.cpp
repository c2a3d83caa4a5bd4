#include "Platform/Dispatch/WorkerPool.hpp"

#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <time.h>

namespace {

using namespace std::chrono_literals;
using orvane::DispatchSemaphore;
using orvane::WorkerPool;
using orvane::MainLoop::runUntil;

// A pool of its own, small enough to reach its limits quickly.
WorkerPool::Limits smallLimits() {
    return WorkerPool::Limits{.eagerThreads = 1, .maxThreads = 3, .stallInterval = 5ms, .idleTimeout = 200ms};
}

TEST(WorkerPool, growsPastTheEagerCountWhenJobsBlockButNeverPastTheCap) {
    WorkerPool pool(smallLimits());
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
}

TEST(WorkerPool, idleWorkersExitAndThePoolStartsAgain) {
    WorkerPool pool(smallLimits());
    std::atomic<int> ran = 0;
    pool.submit([&] { ++ran; });
    EXPECT_TRUE(runUntil([&] { return ran == 1; }, 10s));
    EXPECT_GE(pool.threadCount(), 1U);
    EXPECT_TRUE(runUntil([&] { return pool.threadCount() == 0; }, 10s));
    pool.submit([&] { ++ran; });
    EXPECT_TRUE(runUntil([&] { return ran == 2; }, 10s));
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
    WorkerPool pool(WorkerPool::Limits{.eagerThreads = 2, .maxThreads = 16, .stallInterval = 20ms,
                                       .idleTimeout = 200ms});
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

TEST(WorkerPool, aLaterDeadlineDueEarlierFiresFirst) {
    WorkerPool pool(smallLimits());
    std::atomic<int> order = 0, early = 0, late = 0;
    const auto now = orvane::DispatchTime::now();
    pool.submitAt(now + 0.2, [&] { late = ++order; });
    pool.submitAt(now + 0.05, [&] { early = ++order; });
    EXPECT_TRUE(runUntil([&] { return order == 2; }, 10s));
    EXPECT_EQ(early, 1);
    EXPECT_EQ(late, 2);
}

}  // namespace
