#include "Concurrency/AsyncOperation.hpp"

namespace orvane {

std::string_view AsyncOperation::rawValue(State state) {
    switch (state) {
        case State::Ready:
            return "Ready";
        case State::Executing:
            return "Executing";
        case State::Finished:
            return "Finished";
    }
    return {};
}

std::optional<AsyncOperation::State> AsyncOperation::fromRawValue(std::string_view rawValue) {
    for (State state : {State::Ready, State::Executing, State::Finished}) {
        if (AsyncOperation::rawValue(state) == rawValue) {
            return state;
        }
    }
    return std::nullopt;
}

std::string_view AsyncOperation::keyPath(State state) {
    switch (state) {
        case State::Ready:
            return "isReady";
        case State::Executing:
            return "isExecuting";
        case State::Finished:
            return "isFinished";
    }
    return {};
}

AsyncOperation::AsyncOperation() : originalQueue_(OperationQueue::current()) {}

void AsyncOperation::setState(State state) {
    const State old = state_.load();
    willChangeValue(keyPath(state));
    willChangeValue(keyPath(old));
    state_.store(state);
    didChangeValue(keyPath(old));
    didChangeValue(keyPath(state));
}

bool AsyncOperation::isReady() const {
    return Operation::isReady() && state() == State::Ready;
}

void AsyncOperation::start() {
    if (isCancelled()) {
        setState(State::Finished);
        return;
    }
    setState(State::Executing);
    main();
}

void AsyncOperation::cancel() {
    // Deliberately not Operation::cancel(): the cancelled flag stays as it was.
    setState(State::Finished);
}

}  // namespace orvane
