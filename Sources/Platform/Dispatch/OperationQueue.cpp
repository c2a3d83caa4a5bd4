// The queue keeps its operations in a list, in the order they were added, and
// observes each one. Any did-change of "isReady" (or of the count limit) runs
// a scheduling pass; a did-change of "isFinished" that finds the operation
// finished takes it off the list. A pass reads the operations' flags without
// the queue's lock (they are the operations' own code), then starts, under
// the lock, the ready ones the limit allows, in list order. A flag that
// changes after it was read sends its own notification and so a new pass.
//
// The list and the observers hold the queue's state strongly, so a released
// queue still runs what it was given; the state lets go of each operation once
// it has finished.
#include "Platform/Dispatch/OperationQueue.hpp"

#include "Platform/Dispatch/WorkerPool.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <utility>
#include <vector>

namespace orvane {
namespace {

thread_local std::weak_ptr<OperationQueue> currentQueue;

}  // namespace

struct OperationQueue::State : std::enable_shared_from_this<OperationQueue::State> {
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Operation> operation;
        Operation::ObserverToken token = 0;
        bool started = false;
    };

    std::weak_ptr<OperationQueue> queue;
    mutable std::mutex mutex;
    std::condition_variable finished;
    // Guarded by mutex:
    std::list<Entry> entries;  // in the order added, so ids ascend
    int maxConcurrent = -1;
    std::size_t executing = 0;  // started and not yet finished
    std::uint64_t lastId = 0;

    Entry* findLocked(const Operation* operation) {
        const auto found = std::find_if(entries.begin(), entries.end(), [operation](const Entry& entry) {
            return entry.operation.get() == operation;
        });
        return found == entries.end() ? nullptr : &*found;
    }

    // Removes the entry of a finished operation. The operation itself is let go
    // on a pool thread: this may run inside one of its own notifications, and
    // releasing the last reference there would destroy it mid-call.
    void finish(const Operation* operation) {
        std::shared_ptr<Operation> released;
        Operation::ObserverToken token = 0;
        {
            const std::lock_guard lock(mutex);
            const auto found = std::find_if(entries.begin(), entries.end(), [operation](const Entry& entry) {
                return entry.operation.get() == operation;
            });
            if (found == entries.end()) {
                return;
            }
            if (found->started) {
                --executing;
            }
            token = found->token;
            released = std::move(found->operation);
            entries.erase(found);
        }
        finished.notify_all();
        if (token != 0) {
            released->removeObserver(token);
        }
        WorkerPool::shared().submit([released = std::move(released)] {});
        schedule();
    }

    void schedule() {
        std::vector<std::shared_ptr<Operation>> waiting;
        {
            const std::lock_guard lock(mutex);
            for (const Entry& entry : entries) {
                if (!entry.started) {
                    waiting.push_back(entry.operation);
                }
            }
        }
        if (waiting.empty()) {
            return;
        }
        std::vector<std::pair<bool, bool>> flags;  // finished, ready
        flags.reserve(waiting.size());
        for (const auto& operation : waiting) {
            const bool isFinished = operation->isFinished();
            flags.emplace_back(isFinished, !isFinished && operation->isReady());
        }

        std::vector<std::shared_ptr<Operation>> toStart;
        std::vector<std::shared_ptr<Operation>> toDrop;
        {
            const std::lock_guard lock(mutex);
            for (std::size_t index = 0; index < waiting.size(); ++index) {
                Entry* entry = findLocked(waiting[index].get());
                if (entry == nullptr || entry->started) {
                    continue;
                }
                const auto [isFinished, isReady] = flags[index];
                const bool hasRoom = maxConcurrent < 0 || executing < static_cast<std::size_t>(maxConcurrent);
                if (isFinished) {
                    toDrop.push_back(entry->operation);
                } else if (isReady && hasRoom) {
                    entry->started = true;
                    ++executing;
                    toStart.push_back(entry->operation);
                }
            }
        }
        for (const auto& operation : toDrop) {
            finish(operation.get());
        }
        for (auto& operation : toStart) {
            WorkerPool::shared().submit(
                [state = shared_from_this(), operation = std::move(operation)] { state->run(operation); });
        }
    }

    void run(const std::shared_ptr<Operation>& operation) {
        auto previous = std::exchange(currentQueue, queue);
        if (!operation->isFinished()) {
            operation->start();
        }
        currentQueue = std::move(previous);
        // Covers operations that finish without announcing it.
        if (operation->isFinished()) {
            finish(operation.get());
        }
    }

    void changed(const Operation* operation, std::string_view key) {
        if (key == "isFinished") {
            if (operation->isFinished()) {
                finish(operation);
            }
        } else if (key == "isReady") {
            schedule();
        }
    }
};

std::shared_ptr<OperationQueue> OperationQueue::create() {
    auto queue = std::shared_ptr<OperationQueue>(new OperationQueue());
    queue->state_->queue = queue;
    return queue;
}

std::shared_ptr<OperationQueue> OperationQueue::current() {
    return currentQueue.lock();
}

OperationQueue::OperationQueue() : state_(std::make_shared<State>()) {}

OperationQueue::~OperationQueue() = default;

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    if (!operation) {
        return;
    }
    Operation* const raw = operation.get();
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->findLocked(raw) != nullptr) {
            return;  // already queued here
        }
        state_->entries.push_back(State::Entry{++state_->lastId, operation});
    }
    const auto token =
        operation->addObserver([state = state_, raw](std::string_view key, Operation::Change change) {
            if (change == Operation::Change::did) {
                state->changed(raw, key);
            }
        });
    bool stillQueued = false;
    {
        const std::lock_guard lock(state_->mutex);
        if (State::Entry* entry = state_->findLocked(raw)) {
            entry->token = token;
            stillQueued = true;
        }
    }
    if (!stillQueued) {
        operation->removeObserver(token);  // it finished before the observer was recorded
        return;
    }
    state_->schedule();
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->maxConcurrent = count;
    }
    state_->schedule();
}

std::size_t OperationQueue::operationCount() const {
    const std::lock_guard lock(state_->mutex);
    return state_->entries.size();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(state_->mutex);
    const std::uint64_t last = state_->lastId;
    state_->finished.wait(lock, [&] { return state_->entries.empty() || state_->entries.front().id > last; });
}

}  // namespace orvane
