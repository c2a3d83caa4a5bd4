// OperationQueue: runs Operations on the worker pool.
//
// An added operation is started (start() called on a pool thread) once it is
// ready and fewer than maxConcurrentOperationCount operations of the queue are
// executing; the queue watches "isReady", "isExecuting" and "isFinished" and
// keeps the operation until it reports finished. An operation that is already
// finished when its turn comes is dropped without start(). An operation joins
// one queue, once: adding it again, here or elsewhere, throws NSException
// "NSInvalidArgumentException". Code running inside an operation's start() or
// main() sees the queue as OperationQueue::current().
//
// Thread safety: every operation may be called from any thread.
//
//   auto queue = orvane::OperationQueue::create();
//   queue->addOperation(std::make_shared<Download>(url));
//   queue->waitUntilAllOperationsAreFinished();
#pragma once

#include "Platform/Dispatch/Operation.hpp"

#include <cstddef>
#include <memory>

namespace orvane {

class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
public:
    static std::shared_ptr<OperationQueue> create();
    // The queue running the calling code, or null outside any queue's operation.
    static std::shared_ptr<OperationQueue> current();

    virtual ~OperationQueue();

    void addOperation(std::shared_ptr<Operation> operation);
    // Default: unlimited (-1). Must be set before operations are added.
    void setMaxConcurrentOperationCount(int count);
    std::size_t operationCount() const;
    // Blocks until every operation added so far has finished.
    void waitUntilAllOperationsAreFinished();

private:
    OperationQueue();
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace orvane
