#include "Platform/Dispatch/OperationQueue.hpp"

#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"
#include "Platform/Dispatch/OperationNotifications.hpp"
#include "Platform/Foundation/NSException.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::DispatchSemaphore;
using orvane::Operation;
using orvane::OperationQueue;
using testsupport::Strings;

// A synchronous operation whose work is a function.
struct BlockOperation : Operation {
    explicit BlockOperation(std::function<void()> body) : work(std::move(body)) {}
    void main() override { work(); }
    std::function<void()> work;
};

// Stays executing after start() returns, until finish() is called from any
// thread; announces its flags as a queue expects.
class LaterOperation : public Operation {
public:
    enum class State { ready, executing, finished };

    bool isAsynchronous() const override { return true; }
    bool isReady() const override { return readyGate.load() && state_.load() == State::ready; }
    bool isExecuting() const override { return state_.load() == State::executing; }
    bool isFinished() const override { return state_.load() == State::finished; }
    void start() override {
        startedOn = OperationQueue::current();
        moveTo(State::executing);
        started.signal();
        if (finishesOnGlobalQueue) {
            orvane::DispatchQueue::global()->async([self = shared_from_this(), this] { finish(); });
        }
    }
    void finish() { moveTo(State::finished); }
    void becomeReady() {
        willChangeValue("isReady");
        readyGate = true;
        didChangeValue("isReady");
    }

    std::atomic<bool> readyGate = true;
    bool finishesOnGlobalQueue = false;  // on another thread, just after start()
    DispatchSemaphore started{0};
    std::shared_ptr<OperationQueue> startedOn;  // read after `started`

private:
    static std::string_view key(State state) {
        return state == State::ready ? "isReady" : state == State::executing ? "isExecuting" : "isFinished";
    }
    void moveTo(State next) {
        const State old = state_.load();
        willChangeValue(key(next));
        willChangeValue(key(old));
        state_ = next;
        didChangeValue(key(old));
        didChangeValue(key(next));
    }
    std::atomic<State> state_ = State::ready;
};

TEST(Operation, startAnnouncesExecutingAndFinishedAroundMainOrSkipsMainWhenCancelled) {
    int mainRuns = 0;
    BlockOperation operation([&] { ++mainRuns; });
    testsupport::OperationNotifications log(operation);
    EXPECT_TRUE(operation.isReady());
    operation.start();
    EXPECT_EQ(mainRuns, 1);
    EXPECT_TRUE(operation.isFinished());
    EXPECT_FALSE(operation.isExecuting());
    EXPECT_EQ(log.take(), (Strings{"will isExecuting", "did isExecuting", "will isFinished",
                                   "will isExecuting", "did isExecuting", "did isFinished"}));

    BlockOperation cancelled([&] { ++mainRuns; });
    testsupport::OperationNotifications cancelledLog(cancelled);
    cancelled.cancel();
    cancelled.cancel();  // announced once
    cancelled.start();
    EXPECT_EQ(mainRuns, 1);
    EXPECT_TRUE(cancelled.isFinished());
    EXPECT_EQ(cancelledLog.take(),
              (Strings{"will isCancelled", "did isCancelled", "will isFinished", "did isFinished"}));
}

TEST(OperationQueue, asynchronousOperationStaysUntilItAnnouncesFinishedEvenOnceTheQueueIsReleased) {
    auto queue = OperationQueue::create();
    EXPECT_EQ(OperationQueue::current(), nullptr);
    auto operation = std::make_shared<LaterOperation>();
    queue->addOperation(operation);
    ASSERT_TRUE(operation->started.wait(10s));
    EXPECT_EQ(std::exchange(operation->startedOn, nullptr), queue);  // so that only the test holds it
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(queue->operationCount(), 1U) << "start() returning does not finish it";

    std::thread([operation] { operation->finish(); }).join();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(queue->operationCount(), 0U);
    EXPECT_FALSE(operation->started.wait(0ms)) << "started twice";

    // A released queue still runs its operations, and then lets them go.
    auto later = std::make_shared<LaterOperation>();
    std::weak_ptr<LaterOperation> weak = later;
    later->readyGate = false;
    queue->addOperation(later);
    queue.reset();
    later->becomeReady();
    ASSERT_TRUE(later->started.wait(10s));
    EXPECT_EQ(later->startedOn, nullptr) << "current() is empty once the queue object is gone";
    later->finish();
    later.reset();
    EXPECT_TRUE(orvane::MainLoop::runUntil([&] { return weak.expired(); }, 10s));
}

TEST(OperationQueue, startsAnOperationOnlyOnceItIsReadyAndDropsOneFinishedBeforeItsTurn) {
    auto queue = OperationQueue::create();
    auto waiting = std::make_shared<LaterOperation>();
    waiting->readyGate = false;
    auto skipped = std::make_shared<LaterOperation>();
    skipped->readyGate = false;
    queue->addOperation(waiting);
    queue->addOperation(skipped);
    EXPECT_THROW(queue->addOperation(waiting), orvane::NSException);  // an operation joins one queue, once
    EXPECT_THROW(OperationQueue::create()->addOperation(waiting), orvane::NSException);
    EXPECT_FALSE(waiting->started.wait(50ms));
    EXPECT_EQ(queue->operationCount(), 2U);
    skipped->finish();  // as a cancelled asynchronous operation does
    EXPECT_EQ(queue->operationCount(), 1U);
    waiting->becomeReady();
    ASSERT_TRUE(waiting->started.wait(10s));
    waiting->finish();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(skipped->started.wait(0ms));
}

TEST(OperationQueue, honoursTheMaximumConcurrency) {
    auto queue = OperationQueue::create();
    queue->setMaxConcurrentOperationCount(2);
    std::atomic<int> inside = 0, overLimit = 0, ran = 0;
    DispatchSemaphore secondStarted(0);
    for (int i = 0; i < 8; ++i) {
        queue->addOperation(std::make_shared<BlockOperation>([&, i] {
            overLimit += ++inside > 2 ? 1 : 0;
            if (i == 0) {
                EXPECT_TRUE(secondStarted.wait(10s)) << "the first two overlap only if two may run";
            } else if (i == 1) {
                secondStarted.signal();
            }
            std::this_thread::sleep_for(2ms);
            --inside;
            ++ran;
        }));
    }
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(overLimit, 0);
    EXPECT_EQ(ran, 8);

    auto serial = OperationQueue::create();
    serial->setMaxConcurrentOperationCount(1);
    int next = 0, outOfOrder = 0;  // plain: TSan checks the hand-over between operations
    for (int i = 0; i < 20; ++i) {
        serial->addOperation(std::make_shared<BlockOperation>([&, i] { outOfOrder += next++ != i ? 1 : 0; }));
    }
    serial->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(next, 20);
    EXPECT_EQ(outOfOrder, 0);
}

TEST(OperationQueue, everyOperationFinishingOnAnotherThreadLeavesTheQueue) {
    constexpr int perThread = 25'000;
    for (const int limit : {-1, 1}) {
        auto queue = OperationQueue::create();
        queue->setMaxConcurrentOperationCount(limit);
        std::vector<std::jthread> adders;
        for (int thread = 0; thread < 4; ++thread) {
            adders.emplace_back([&] {
                for (int i = 0; i < perThread; ++i) {
                    auto operation = std::make_shared<LaterOperation>();
                    operation->finishesOnGlobalQueue = true;
                    queue->addOperation(std::move(operation));
                }
            });
        }
        adders.clear();  // joins them
        // A generous bound only so that a stuck queue fails instead of hanging.
        EXPECT_TRUE(orvane::MainLoop::runUntil([&] { return queue->operationCount() == 0; }, 120s))
            << "limit " << limit << ": " << queue->operationCount() << " left";
    }
}

}  // namespace
