#include "Concurrency/AsyncOperation.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/OperationNotifications.hpp"
#include "Platform/Dispatch/OperationQueue.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using orvane::AsyncOperation;
using State = AsyncOperation::State;
using testsupport::Strings;

namespace {

// Counts main() calls; finishes only when told to.
struct Work : AsyncOperation {
    void main() override { ++mainCalls; }
    std::atomic<int> mainCalls{0};
};

// Finishes on another thread, after main() has returned; makes a child
// operation from inside main() to see which queue it captures.
struct Download : AsyncOperation {
    void main() override {
        child = std::make_shared<Work>();
        orvane::DispatchQueue::global()->async([this] { setState(State::Finished); });
    }
    std::shared_ptr<Work> child;
};

}  // namespace

TEST(AsyncOperation, startAnnouncesExecutingCallsMainOnceAndStaysExecuting) {
    Work operation;
    testsupport::OperationNotifications notifications(operation);
    operation.start();
    EXPECT_EQ(notifications.take(),
              (Strings{"will isExecuting", "will isReady", "did isReady", "did isExecuting"}));
    EXPECT_EQ(operation.mainCalls, 1);
    EXPECT_TRUE(operation.isExecuting());
    EXPECT_FALSE(operation.isReady());
    EXPECT_EQ(AsyncOperation::rawValue(operation.state()), "Executing");
    EXPECT_EQ(AsyncOperation::fromRawValue("Finished"), State::Finished);
    EXPECT_EQ(AsyncOperation::fromRawValue("executing"), std::nullopt) << "the case names exactly";
    EXPECT_FALSE(operation.isFinished());

    operation.setState(State::Finished);  // the subclass's completion
    EXPECT_EQ(notifications.take(),
              (Strings{"will isFinished", "will isExecuting", "did isExecuting", "did isFinished"}));
    EXPECT_TRUE(operation.isFinished());
    EXPECT_FALSE(operation.isExecuting());
}

TEST(AsyncOperation, cancelFinishesWithoutTheFlagButStartOfAFlaggedOneSkipsMain) {
    Work flagged;
    flagged.Operation::cancel();
    testsupport::OperationNotifications flaggedNotifications(flagged);
    flagged.start();
    EXPECT_EQ(flaggedNotifications.take(),
              (Strings{"will isFinished", "will isReady", "did isReady", "did isFinished"}));
    EXPECT_EQ(flagged.mainCalls, 0);

    Work operation;
    testsupport::OperationNotifications notifications(operation);
    operation.cancel();
    EXPECT_EQ(notifications.take(),
              (Strings{"will isFinished", "will isReady", "did isReady", "did isFinished"}));
    EXPECT_TRUE(operation.isFinished());
    EXPECT_FALSE(operation.isCancelled());
    operation.start();  // finds the flag clear, so it runs after all
    EXPECT_EQ(operation.state(), State::Executing);
    EXPECT_EQ(operation.mainCalls, 1);

    operation.cancel();  // from Executing; then the completion writes Finished again
    notifications.take();
    operation.setState(State::Finished);
    EXPECT_EQ(notifications.take(),
              (Strings{"will isFinished", "will isFinished", "did isFinished", "did isFinished"}));
}

TEST(AsyncOperation, anOperationQueueFollowsItUntilItFinishesLater) {
    auto queue = orvane::OperationQueue::create();
    auto download = std::make_shared<Download>();
    queue->addOperation(download);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(download->isFinished());
    ASSERT_NE(download->child, nullptr);
    EXPECT_EQ(download->child->originalQueue(), queue);
}
