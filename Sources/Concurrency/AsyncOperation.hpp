// AsyncOperation: the base class of operations that finish later than the
// start() call that begins them.
//
// It keeps its own state (Ready, Executing, Finished) and announces every
// change to the operation's observers (an OperationQueue among them) under
// the keys "isReady", "isExecuting" and "isFinished": for a change from O to
// N, will-change N, will-change O, the store, did-change O, did-change N, all
// on the changing thread before the write returns. Writes are not validated;
// writing the current state announces its key twice each way.
//
// - start(): if the operation is cancelled, goes to Finished without calling
//   main(); otherwise goes to Executing and calls main() on the same thread.
//   The operation stays Executing after main() returns, until something sets
//   Finished.
// - cancel(): goes to Finished, whatever the state, and nothing else: the base
//   class's cancelled flag is left as it was.
// A subclass overrides main() to begin its work and calls
// setState(State::Finished) when the work has ended, successfully or not.
//
// Ownership: originalQueue is the operation queue (if any) that was running
// the code that made the operation, held strongly; subclasses use it to come
// back to that queue.
//
// Thread safety: the state is read and written atomically, but nothing
// orders a completion against a concurrent cancel(): callers that can race
// the two serialise them (run both on one serial queue). Observers are called
// on the writing thread.
//
//   class Download : public orvane::AsyncOperation {
//       void main() override {
//           client_->get(url_, [this](auto result) { store(result); setState(State::Finished); });
//       }
//   };
//   queue->addOperation(std::make_shared<Download>(client, url));
#pragma once

#include "Platform/Dispatch/Operation.hpp"
#include "Platform/Dispatch/OperationQueue.hpp"

#include <atomic>
#include <memory>
#include <optional>
#include <string_view>

namespace orvane {

class AsyncOperation : public Operation {
public:
    enum class State { Ready, Executing, Finished };

    // "Ready", "Executing", "Finished".
    static std::string_view rawValue(State state);
    // Exact and case-sensitive: "Executing" is Executing, "executing" nothing.
    static std::optional<State> fromRawValue(std::string_view rawValue);
    // The observable key of a state: "is" followed by its raw value.
    static std::string_view keyPath(State state);

    AsyncOperation();

    State state() const { return state_.load(); }
    void setState(State state);
    const std::shared_ptr<OperationQueue>& originalQueue() const { return originalQueue_; }

    // The base readiness, and the state is Ready.
    bool isReady() const override;
    bool isExecuting() const override { return state() == State::Executing; }
    bool isFinished() const override { return state() == State::Finished; }
    bool isAsynchronous() const override { return true; }

    void start() override;
    void cancel() override;

private:
    std::atomic<State> state_{State::Ready};
    std::shared_ptr<OperationQueue> originalQueue_;
};

}  // namespace orvane
