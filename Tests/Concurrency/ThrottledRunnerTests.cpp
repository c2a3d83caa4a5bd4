#include "Concurrency/ThrottledRunner.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using orvane::DispatchQueue;
using orvane::DispatchSemaphore;
using orvane::ThrottledRunner;
using namespace std::chrono_literals;

namespace {

// A block that appends `id` to `ran`; run on one serial queue, read once it is drained.
std::function<void()> record(std::vector<int>& ran, int id) {
    return [&ran, id] { ran.push_back(id); };
}

// A serial queue kept busy until `release` is signalled, so that what the
// runner submits waits behind it, in order.
struct HeldQueue {
    HeldQueue() {
        queue->async([this] { release.wait(); });
    }
    // Lets the queue go and returns once everything submitted so far has run.
    void drain() {
        release.signal();
        queue->sync([] {});
    }
    std::shared_ptr<DispatchQueue> queue = DispatchQueue::create("com.orvane.tests.throttled");
    DispatchSemaphore release{0};
};

}  // namespace

TEST(ThrottledRunner, ofABurstOnlyTheLastBlockRunsAndAReplacedBlockIsLetGo) {
    auto runner = ThrottledRunner::create();
    HeldQueue held;
    std::vector<int> ran;
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    runner->runIgnoringPendingBlocksAfterDelay(
        3600, [captured = std::move(captured)] {}, held.queue);
    EXPECT_TRUE(runner->isPending());
    for (int id = 1; id <= 3; ++id) {  // a shorter later delay replaces a longer one
        runner->runIgnoringPendingBlocksAfterDelay(0, record(ran, id), held.queue);
    }
    EXPECT_TRUE(watch.expired()) << "the hour-long block was released when replaced";
    EXPECT_TRUE(ran.empty()) << "never inside the call";
    held.drain();
    EXPECT_EQ(ran, (std::vector<int>{3}));
    EXPECT_FALSE(runner->isPending()) << "cleared once the block has run";
}

TEST(ThrottledRunner, cancelDropsThePendingBlockButReleasingTheRunnerDoesNot) {
    auto runner = ThrottledRunner::create();
    std::weak_ptr<ThrottledRunner> weak = runner;
    HeldQueue held;
    std::vector<int> ran;
    runner->cancel();  // harmless when idle
    runner->runIgnoringPendingBlocksAfterDelay(0, record(ran, 1), held.queue);
    runner->cancel();
    EXPECT_FALSE(runner->isPending());
    runner->runIgnoringPendingBlocksAfterDelay(0, record(ran, 2), held.queue);
    runner.reset();
    EXPECT_TRUE(weak.expired()) << "the pending block does not keep its runner";
    held.drain();
    EXPECT_EQ(ran, (std::vector<int>{2}));
}

TEST(ThrottledRunner, runsOnTheNamedQueueOrElseOnTheGlobalQueue) {
    auto runner = ThrottledRunner::create();
    const auto testThread = std::this_thread::get_id();
    std::atomic<bool> onThisThread = false;
    runner->runIgnoringPendingBlocksAfterDelay(
        0.01, [&] { onThisThread = std::this_thread::get_id() == testThread; }, DispatchQueue::main());
    EXPECT_TRUE(orvane::MainLoop::runUntil([&] { return onThisThread.load(); }, 10s))
        << "the main queue's thread";
    // Nobody iterates the main context now: only a pool thread can run it.
    auto ran = std::make_shared<DispatchSemaphore>(0);  // outlives a signal still returning
    runner->runIgnoringPendingBlocksAfterDelay(0.01, [ran] { ran->signal(); });
    EXPECT_TRUE(ran->wait(10s));
}

TEST(ThrottledRunner, aCallRacingTheClearingStepOfARunningBlockStillRunsItsBlock) {
    // The running block's clearing step takes the new call's item out of the
    // runner; that item must still run.
    auto runner = ThrottledRunner::create();
    auto queue = DispatchQueue::create("com.orvane.tests.throttled");
    DispatchSemaphore started(0), release(0);
    HeldQueue held;
    std::vector<int> ran;
    auto first = [&] {
        started.signal();
        release.wait();
    };
    runner->runIgnoringPendingBlocksAfterDelay(0, first, queue);
    started.wait();
    runner->runIgnoringPendingBlocksAfterDelay(0, record(ran, 2), held.queue);
    release.signal();
    queue->sync([] {});  // the first block and its clearing step have run
    EXPECT_FALSE(runner->isPending());
    held.drain();
    EXPECT_EQ(ran, (std::vector<int>{2}));
}
