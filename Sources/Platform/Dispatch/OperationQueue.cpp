// The queue keeps its operations in a list, in the order they were added, with
// an index from operation to entry, and observes each one. Operations that may
// be startable wait in a candidate queue: every added operation goes there
// once, and so does one whose "isReady" did-change arrives. A scheduling pass
// (on add, on a finish, on readiness, on a new limit) takes candidates in
// order while the limit leaves room, reads their flags without the queue's
// lock (they are the operations' own code), then under the lock starts the
// ready ones, drops the finished ones and sets aside the others until their
// next readiness change. Each step is constant time, so a backlog costs
// linear time in all.
//
// The observer is registered before the entry exists, so a change made by a
// thread that starts or finishes the operation early is never missed; the
// pass re-reads the flags after the entry exists.
//
// The list and the observers hold the queue's state strongly, so a released
// queue still runs what it was given; the state lets go of each operation once
// it has finished.
#include "Platform/Dispatch/OperationQueue.hpp"

#include "Platform/Dispatch/BlockingScope.hpp"
#include "Platform/Dispatch/WorkerPool.hpp"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvane {
namespace {

thread_local std::weak_ptr<OperationQueue> currentQueue;

// The operation this thread is running for a queue, and where the pass that
// its finish runs may leave the next one, so that this thread runs it at once.
thread_local const Operation* runningOperation = nullptr;
thread_local std::shared_ptr<Operation>* nextOnThisThread = nullptr;

}  // namespace

struct OperationQueue::State : std::enable_shared_from_this<OperationQueue::State> {
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Operation> operation;
        Operation::ObserverToken token = 0;
        bool started = false;
        bool candidate = false;  // in `candidates`, or being read by a pass
        bool recheck = false;    // readiness changed while it was being read
    };
    using Entries = std::list<Entry>;

    std::weak_ptr<OperationQueue> queue;
    mutable std::mutex mutex;
    std::condition_variable finished;
    // Guarded by mutex:
    Entries entries;  // in the order added, so ids ascend
    std::unordered_map<const Operation*, Entries::iterator> index;
    std::deque<std::pair<const Operation*, std::uint64_t>> candidates;  // operation, entry id
    int maxConcurrent = -1;
    std::size_t executing = 0;  // started and not yet finished
    std::uint64_t lastId = 0;
    std::multiset<std::uint64_t> waits;  // the last id each waiting thread waits for
    bool scheduling = false;     // a pass is running
    bool scheduleAgain = false;  // and another was asked for meanwhile

    // Whether a waiter may now be done: only then is it woken.
    bool waiterMayBeDoneLocked() const {
        return !waits.empty() && (entries.empty() || entries.front().id > *waits.begin());
    }

    Entry* findLocked(const Operation* operation) {
        const auto found = index.find(operation);
        return found == index.end() ? nullptr : &*found->second;
    }

    bool hasRoomLocked() const {
        return maxConcurrent < 0 || executing < static_cast<std::size_t>(maxConcurrent);
    }

    State() { index.max_load_factor(0.5F); }

    void offerLocked(Entry& entry) {
        if (entry.started) {
            return;
        }
        if (entry.candidate) {
            entry.recheck = true;
            return;
        }
        entry.candidate = true;
        candidates.emplace_back(entry.operation.get(), entry.id);
    }

    // Removes the entry of a finished operation. The operation itself is let go
    // on a pool thread: this may run inside one of its own notifications, and
    // releasing the last reference there would destroy it mid-call.
    void finish(const Operation* operation) {
        std::shared_ptr<Operation> released;
        Operation::ObserverToken token = 0;
        bool wake = false;
        {
            const std::lock_guard lock(mutex);
            const auto found = index.find(operation);
            if (found == index.end()) {
                return;
            }
            Entry& entry = *found->second;
            if (entry.started) {
                --executing;
            }
            token = entry.token;
            released = std::move(entry.operation);
            entries.erase(found->second);
            index.erase(found);
            wake = waiterMayBeDoneLocked();
        }
        if (wake) {
            finished.notify_all();
        }
        if (token != 0) {
            released->removeObserver(token);
        }
        if (operation == runningOperation) {
            // run() still holds it, and the next operation may run on this thread.
            released.reset();
            schedule(nextOnThisThread);
            return;
        }
        WorkerPool::shared().submit([released = std::move(released)] {});
        schedule();
    }

    // One pass at a time: a pass that starts an operation while another pass
    // has an earlier one set aside would break the order. A request that
    // comes while a pass runs makes that pass go round again.
    // `next`: where the first operation to start goes instead of the pool.
    void schedule(std::shared_ptr<Operation>* next = nullptr) {
        {
            const std::lock_guard lock(mutex);
            if (scheduling) {
                scheduleAgain = true;
                return;
            }
            scheduling = true;
        }
        while (true) {
            const bool more = schedulePass(next);
            const std::lock_guard lock(mutex);
            if (!more && !scheduleAgain) {
                scheduling = false;
                return;
            }
            scheduleAgain = false;
        }
    }

    // schedulePass: starts what the limit and readiness allow; whether there
    // may be more to start at once.
    bool schedulePass(std::shared_ptr<Operation>* next) {
        while (true) {
            std::vector<std::shared_ptr<Operation>> batch;
            {
                const std::lock_guard lock(mutex);
                std::size_t room = maxConcurrent < 0 ? candidates.size()
                                   : hasRoomLocked() ? static_cast<std::size_t>(maxConcurrent) - executing
                                                     : 0;
                while (room > 0 && !candidates.empty()) {
                    const auto [operation, id] = candidates.front();
                    candidates.pop_front();
                    Entry* entry = findLocked(operation);
                    if (entry == nullptr || entry->id != id || entry->started) {
                        continue;  // finished (or re-added) since it was offered
                    }
                    entry->recheck = false;
                    batch.push_back(entry->operation);
                    --room;
                }
            }
            if (batch.empty()) {
                return false;
            }
            std::vector<std::pair<bool, bool>> flags;  // finished, ready
            flags.reserve(batch.size());
            for (const auto& operation : batch) {
                const bool isFinished = operation->isFinished();
                flags.emplace_back(isFinished, !isFinished && operation->isReady());
            }

            std::vector<std::shared_ptr<Operation>> toStart;
            std::vector<std::shared_ptr<Operation>> toDrop;
            bool stalled = false;
            {
                const std::lock_guard lock(mutex);
                // Those still startable but without room go back to the front, in order.
                std::vector<std::pair<const Operation*, std::uint64_t>> putBack;
                bool progress = false;  // false when all that is left only waits for room
                for (std::size_t i = 0; i < batch.size(); ++i) {
                    Entry* entry = findLocked(batch[i].get());
                    if (entry == nullptr || entry->operation != batch[i] || entry->started) {
                        continue;
                    }
                    const auto [isFinished, isReady] = flags[i];
                    progress = progress || isFinished || !isReady || hasRoomLocked();
                    if (isFinished) {
                        entry->candidate = false;
                        toDrop.push_back(entry->operation);
                    } else if (isReady && hasRoomLocked()) {
                        entry->candidate = false;
                        entry->started = true;
                        ++executing;
                        toStart.push_back(entry->operation);
                    } else if (isReady || entry->recheck) {
                        entry->recheck = false;
                        putBack.emplace_back(entry->operation.get(), entry->id);
                    } else {
                        entry->candidate = false;  // its next readiness change offers it again
                    }
                }
                candidates.insert(candidates.begin(), putBack.begin(), putBack.end());
                if (!progress) {
                    stalled = true;
                }
            }
            for (const auto& operation : toDrop) {
                finish(operation.get());
            }
            for (auto& operation : toStart) {
                if (next != nullptr && *next == nullptr) {
                    *next = std::move(operation);
                    continue;
                }
                WorkerPool::shared().submit(
                    [state = shared_from_this(), operation = std::move(operation)]() mutable {
                        state->run(std::move(operation));
                    });
            }
            if (stalled) {
                return false;  // the running operations' finishes schedule the rest
            }
        }
    }

    // Runs the operation, then each next one its finish hands to this thread.
    void run(std::shared_ptr<Operation> operation) {
        auto previousQueue = std::exchange(currentQueue, queue);
        const Operation* const previousOperation = runningOperation;
        std::shared_ptr<Operation>* const previousNext = nextOnThisThread;
        while (operation) {
            std::shared_ptr<Operation> next;
            runningOperation = operation.get();
            nextOnThisThread = &next;
            if (!operation->isFinished()) {
                operation->start();
            }
            // Covers operations that finish without announcing it.
            if (operation->isFinished()) {
                finish(operation.get());
            }
            runningOperation = nullptr;  // a late finish from elsewhere must not use `next`
            nextOnThisThread = nullptr;
            operation = std::move(next);
        }
        runningOperation = previousOperation;
        nextOnThisThread = previousNext;
        currentQueue = std::move(previousQueue);
    }

    void changed(const Operation* operation, std::string_view key) {
        if (key == "isFinished") {
            if (operation->isFinished()) {
                finish(operation);
            }
        } else if (key == "isReady") {
            {
                const std::lock_guard lock(mutex);
                if (Entry* entry = findLocked(operation)) {
                    offerLocked(*entry);
                }
            }
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
    const auto token =
        operation->addObserver([state = state_, raw](std::string_view key, Operation::Change change) {
            if (change == Operation::Change::did) {
                state->changed(raw, key);
            }
        });
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->findLocked(raw) != nullptr) {
            raw->removeObserver(token);  // already queued here
            return;
        }
        auto& entry = state_->entries.emplace_back(State::Entry{++state_->lastId, std::move(operation), token});
        state_->index.emplace(raw, std::prev(state_->entries.end()));
        state_->offerLocked(entry);
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
    const BlockingScope blocking;
    std::unique_lock lock(state_->mutex);
    const std::uint64_t last = state_->lastId;
    const auto wait = state_->waits.insert(last);
    state_->finished.wait(lock, [&] { return state_->entries.empty() || state_->entries.front().id > last; });
    state_->waits.erase(wait);
}

}  // namespace orvane
