#include "Platform/Dispatch/DispatchSemaphore.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::DispatchSemaphore;

TEST(DispatchSemaphore, countsUnitsAndATimedOutWaiterLeavesNoTrace) {
    DispatchSemaphore semaphore(2);
    EXPECT_TRUE(semaphore.wait(0ns));
    EXPECT_TRUE(semaphore.wait(0ns));
    EXPECT_FALSE(semaphore.wait(0ns));
    EXPECT_FALSE(semaphore.wait(std::chrono::steady_clock::now() - 1s)) << "a past deadline";
    std::thread([&] { EXPECT_FALSE(semaphore.wait(1ms)); }).join();
    // The waiters that gave up are gone: nobody is woken, and the unit is kept.
    EXPECT_FALSE(semaphore.signal());
    EXPECT_TRUE(semaphore.wait(0ns));
    EXPECT_THROW(DispatchSemaphore(-1), std::invalid_argument);
}

TEST(DispatchSemaphore, countsEverySignalFromOtherThreadsAndWakesTheWaiter) {
    DispatchSemaphore semaphore(0);
    constexpr int threads = 4, signalsEach = 250;
    std::vector<std::jthread> signallers;
    for (int i = 0; i < threads; ++i) {
        signallers.emplace_back([&] {
            for (int n = 0; n < signalsEach; ++n) {
                semaphore.signal();
            }
        });
    }
    for (int n = 0; n < threads * signalsEach; ++n) {
        ASSERT_TRUE(semaphore.wait(10s));
    }
    signallers.clear();  // joins them
    EXPECT_FALSE(semaphore.wait(0ns));
}

}  // namespace
