#include "Platform/Dispatch/WorkerPool.hpp"

#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

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

}  // namespace
