#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using orvane::DispatchQueue;
using orvane::DispatchSemaphore;
using orvane::MainLoop::runFor;
using orvane::MainLoop::runUntil;

// Main-queue blocks run on the thread that iterates the default context: here
// the test's own thread, inside runUntil.

TEST(MainQueue, runsBlocksInSubmissionOrderOnTheThreadIteratingTheContext) {
    const auto mainThread = std::this_thread::get_id();
    int next = 0, outOfOrder = 0, offThread = 0;  // touched only on the main thread
    std::thread producer([&] {
        for (int i = 0; i < 100; ++i) {
            DispatchQueue::main()->async([&, i] {
                offThread += std::this_thread::get_id() != mainThread ? 1 : 0;
                outOfOrder += next++ != i ? 1 : 0;
                if (i == 99) {  // submitted from a block: runs after it
                    DispatchQueue::main()->async([&] { outOfOrder += next++ != 100 ? 1 : 0; });
                }
            });
        }
    });
    EXPECT_EQ(next, 0) << "nothing runs until the context is iterated";
    EXPECT_TRUE(runUntil([&] { return next == 101; }, 10s));
    producer.join();
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(offThread, 0);
}

TEST(MainQueue, syncFromAnotherThreadRunsOnTheMainThreadAndPassesExceptionsBack) {
    auto caller = std::async(std::launch::async, [] {
        EXPECT_THROW(DispatchQueue::main()->sync([] { throw std::runtime_error("from the main thread"); }),
                     std::runtime_error);
        return DispatchQueue::main()->sync([] { return std::this_thread::get_id(); });
    });
    EXPECT_TRUE(runUntil([&] { return caller.wait_for(0s) == std::future_status::ready; }, 10s));
    EXPECT_EQ(caller.get(), std::this_thread::get_id());
}

// The GLib calls that block in poll with no time limit, as an application's
// own loop does. GLib is private to the library, so the test finds them in the
// process (the library has loaded GLib) instead of linking it.
struct BlockingIteration {
    using Iterate = int (*)(void* context, int mayBlock);
    using Wakeup = void (*)(void* context);
    Iterate iterate = reinterpret_cast<Iterate>(dlsym(RTLD_DEFAULT, "g_main_context_iteration"));
    Wakeup wakeup = reinterpret_cast<Wakeup>(dlsym(RTLD_DEFAULT, "g_main_context_wakeup"));
};

TEST(MainQueue, blockFromAnotherThreadWakesAContextBlockedInPoll) {
    DispatchQueue::main();  // made, and its source attached, before any poll
    const BlockingIteration glib;
    ASSERT_NE(glib.iterate, nullptr);
    ASSERT_NE(glib.wakeup, nullptr);
    // Submitted at once (racing the iteration's prepare) and later (into its poll).
    const std::chrono::microseconds delays[] = {0us, 50us, 500us, 5ms, 20ms};
    std::atomic<bool> lostWakeup = false;
    for (int round = 0; round < 25 && !lostWakeup; ++round) {
        std::atomic<bool> ran = false;
        DispatchSemaphore finished(0);
        std::thread submitter([&, delay = delays[round % 5]] {
            std::this_thread::sleep_for(delay);
            DispatchQueue::main()->async([&] { ran = true; });
            // A lost wake-up would leave the iteration blocked for ever: wake
            // the context here, and fail. One is enough: later rounds stop.
            if (!finished.wait(10s)) {
                lostWakeup = true;
                glib.wakeup(nullptr);
            }
        });
        while (!ran) {
            glib.iterate(nullptr, 1);
        }
        finished.signal();
        submitter.join();
    }
    EXPECT_FALSE(lostWakeup) << "a block ran only once the submitter woke the context itself";
}

TEST(MainLoop, runUntilChecksFirstAndGivesUpAtItsLimitAndRunForRunsWhatFallsDue) {
    EXPECT_TRUE(runUntil([] { return true; }, 0ms));
    EXPECT_FALSE(runUntil([] { return false; }, 20ms));

    int ran = 0;  // runFor runs what is or becomes due within its duration
    DispatchQueue::main()->async([&] { ++ran; });
    DispatchQueue::main()->asyncAfter(orvane::DispatchTime::now() + 0.02, [&] { ++ran; });
    runFor(1s);
    EXPECT_EQ(ran, 2);
}

}  // namespace
