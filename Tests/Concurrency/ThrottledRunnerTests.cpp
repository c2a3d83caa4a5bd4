#include "Concurrency/ThrottledRunner.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using orvane::DispatchQueue;
using orvane::ThrottledRunner;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// Records which blocks ran, when, and on which thread.
class Recorder {
public:
    std::function<void()> block(int id) {
        return [this, id] {
            std::lock_guard lock(mutex_);
            runs_.push_back({id, Clock::now(), std::this_thread::get_id()});
        };
    }
    struct Run {
        int id;
        Clock::time_point at;
        std::thread::id thread;
    };
    std::vector<Run> runs() const {
        std::lock_guard lock(mutex_);
        return runs_;
    }
    bool waitForRuns(std::size_t count, std::chrono::milliseconds limit = 10s) const {
        const auto deadline = Clock::now() + limit;
        while (runs().size() < count && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        return runs().size() >= count;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Run> runs_;
};

std::shared_ptr<DispatchQueue> serialQueue() {
    return DispatchQueue::create("com.orvane.tests.throttled");
}

}  // namespace

TEST(ThrottledRunner, aBurstRunsOnlyTheLastBlockOneDelayAfterTheLastCall) {
    auto runner = ThrottledRunner::create();
    auto queue = serialQueue();
    Recorder recorder;
    runner->runIgnoringPendingBlocksAfterDelay(0.4, recorder.block(1), queue);
    std::this_thread::sleep_for(50ms);
    runner->runIgnoringPendingBlocksAfterDelay(0.4, recorder.block(2), queue);
    std::this_thread::sleep_for(50ms);
    const auto lastCall = Clock::now();
    runner->runIgnoringPendingBlocksAfterDelay(0.4, recorder.block(3), queue);
    EXPECT_TRUE(runner->isPending());
    ASSERT_TRUE(recorder.waitForRuns(1));
    std::this_thread::sleep_for(300ms);  // room for a wrongly surviving earlier block
    const auto runs = recorder.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].id, 3);
    EXPECT_GE(runs[0].at - lastCall, 400ms);
    EXPECT_FALSE(runner->isPending());  // cleared once the block has run

    runner->runIgnoringPendingBlocksAfterDelay(0, recorder.block(4), queue);
    ASSERT_TRUE(recorder.waitForRuns(2));
    EXPECT_EQ(recorder.runs()[1].id, 4);
}

TEST(ThrottledRunner, aShorterLaterDelayReplacesALongerOne) {
    auto runner = ThrottledRunner::create();
    Recorder recorder;
    runner->runIgnoringPendingBlocksAfterDelay(0.5, recorder.block(1), serialQueue());
    runner->runIgnoringPendingBlocksAfterDelay(0.05, recorder.block(2), serialQueue());
    ASSERT_TRUE(recorder.waitForRuns(1));
    std::this_thread::sleep_for(700ms);
    ASSERT_EQ(recorder.runs().size(), 1u);
    EXPECT_EQ(recorder.runs()[0].id, 2);
}

TEST(ThrottledRunner, cancelDropsThePendingBlockAndIsHarmlessWhenIdle) {
    auto runner = ThrottledRunner::create();
    Recorder recorder;
    runner->cancel();
    EXPECT_FALSE(runner->isPending());
    runner->runIgnoringPendingBlocksAfterDelay(0.1, recorder.block(1), serialQueue());
    runner->cancel();
    EXPECT_FALSE(runner->isPending());
    std::this_thread::sleep_for(400ms);
    EXPECT_TRUE(recorder.runs().empty());
}

TEST(ThrottledRunner, aPendingBlockOutlivesItsRunnerWithoutKeepingItAlive) {
    auto runner = ThrottledRunner::create();
    std::weak_ptr<ThrottledRunner> weak = runner;
    Recorder recorder;
    runner->runIgnoringPendingBlocksAfterDelay(0.1, recorder.block(1), serialQueue());
    runner.reset();
    EXPECT_TRUE(weak.expired());
    ASSERT_TRUE(recorder.waitForRuns(1));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(recorder.runs().size(), 1u);
}

TEST(ThrottledRunner, runsOnTheNamedQueueOrElseOnTheGlobalQueue) {
    auto runner = ThrottledRunner::create();
    Recorder recorder;
    runner->runIgnoringPendingBlocksAfterDelay(0.01, recorder.block(1), DispatchQueue::main());
    ASSERT_TRUE(orvane::MainLoop::runUntil([&] { return !recorder.runs().empty(); }, 10s));
    EXPECT_EQ(recorder.runs()[0].thread, std::this_thread::get_id());  // the main queue's thread

    runner->runIgnoringPendingBlocksAfterDelay(0.01, recorder.block(2));
    ASSERT_TRUE(recorder.waitForRuns(2));  // nobody pumps the main loop: a pool thread ran it
    EXPECT_NE(recorder.runs()[1].thread, std::this_thread::get_id());
}

TEST(ThrottledRunner, aRunningBlockClearsTheItemOfACallMadeWhileItRan) {
    auto runner = ThrottledRunner::create();
    orvane::DispatchSemaphore started(0);
    orvane::DispatchSemaphore release(0);
    Recorder recorder;
    runner->runIgnoringPendingBlocksAfterDelay(
        0,
        [&] {
            started.signal();
            release.wait();
        },
        serialQueue());
    started.wait();
    runner->runIgnoringPendingBlocksAfterDelay(1.0, recorder.block(2), serialQueue());
    EXPECT_TRUE(runner->isPending());
    release.signal();
    const auto deadline = Clock::now() + 10s;
    while (runner->isPending() && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(runner->isPending());  // the first block's clearing step took the new item
    runner->cancel();                   // so this no longer reaches it
    EXPECT_TRUE(recorder.waitForRuns(1));
}
