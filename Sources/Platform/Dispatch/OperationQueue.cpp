// The queue keeps its operations in a list, in the order they were added,
// linked through the bookkeeping each operation carries for its queue, so
// adding one allocates nothing. Operations that may be startable wait in a
// second such list, the candidates: every added operation goes there once,
// and so does one whose "isReady" did-change arrives; a finished one leaves
// it at once. The operation reports its did-changes to the queue's state
// (after its observers) without a lookup or a lock. A scheduling pass (on
// add, on a finish, on readiness, on a new limit) takes candidates in order
// while the limit leaves room, reads their flags without the queue's lock
// (they are the operations' own code), then under the lock starts the ready
// ones, drops the finished ones and sets aside the others until their next
// readiness change. Each step is constant time, so a backlog costs linear
// time in all.
//
// The link is set before the operation is listed, so a change made by a
// thread that starts or finishes the operation early is never missed; the
// pass re-reads the flags after it is listed.
//
// An operation holds the queue's state strongly, so a released queue still
// runs what it was given; the state lets go of each operation once it has
// finished.
#include "Platform/Dispatch/OperationQueue.hpp"

#include "Platform/Dispatch/BlockingScope.hpp"
#include "Platform/Dispatch/WorkerPool.hpp"
#include "Platform/Foundation/NSException.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace orvane {
namespace {

thread_local std::weak_ptr<OperationQueue> currentQueue;

// What this thread is running for a queue: the operation, where the pass
// that its finish runs may leave the next one so that this thread runs it at
// once, and whether that finish has been handled. One plain thread-local
// (internal, constant-initialised), so reaching it costs little per operation.
struct RunningHere {
    const Operation* operation = nullptr;
    std::shared_ptr<Operation>* next = nullptr;
    bool finished = false;
};
thread_local RunningHere running;

}  // namespace

struct OperationQueue::State : Operation::QueueLink, std::enable_shared_from_this<OperationQueue::State> {
    using Entry = Operation::QueueEntry;
    using Offer = Entry::Offer;

    std::weak_ptr<OperationQueue> queue;
    mutable std::mutex mutex;
    std::condition_variable finished;
    // Guarded by mutex:
    Operation* first = nullptr;  // the list, in the order added, so ids ascend
    Operation* last = nullptr;
    std::size_t count = 0;
    Operation* firstCandidate = nullptr;  // those with Offer::waiting, in order
    Operation* lastCandidate = nullptr;
    int maxConcurrent = -1;
    std::size_t executing = 0;  // started and not yet finished
    std::uint64_t lastId = 0;
    std::multiset<std::uint64_t> waits;  // the last id each waiting thread waits for
    bool scheduling = false;             // a pass is running
    bool scheduleAgain = false;          // and another was asked for meanwhile

    // Used only by the one running pass; kept to reuse their storage.
    // Touched with the lock held, or by the pass alone between its rounds.
    std::vector<std::shared_ptr<Operation>> batch;
    std::vector<std::pair<bool, bool>> flags;  // finished, ready
    std::vector<std::shared_ptr<Operation>> toStart;
    std::vector<std::shared_ptr<Operation>> toDrop;
    std::vector<Operation*> putBack;

    static Entry& entryOf(Operation& operation) { return operation.queueEntry_; }
    static bool listed(const Operation& operation) { return operation.queueEntry_.self != nullptr; }

    // Whether a waiter may now be done: only then is it woken.
    bool waiterMayBeDoneLocked() const {
        return !waits.empty() && (first == nullptr || entryOf(*first).id > *waits.begin());
    }

    bool hasRoomLocked() const {
        return maxConcurrent < 0 || executing < static_cast<std::size_t>(maxConcurrent);
    }

    void listLocked(std::shared_ptr<Operation> operation) {
        Operation* const raw = operation.get();
        Entry& entry = entryOf(*raw);
        entry.self = std::move(operation);
        entry.previous = last;
        (last != nullptr ? entryOf(*last).next : first) = raw;
        last = raw;
        ++count;
    }

    // Unlists the operation; the caller releases the returned reference outside the lock.
    std::shared_ptr<Operation> unlistLocked(Operation& operation) {
        Entry& entry = entryOf(operation);
        (entry.previous != nullptr ? entryOf(*entry.previous).next : first) = entry.next;
        (entry.next != nullptr ? entryOf(*entry.next).previous : last) = entry.previous;
        entry.previous = entry.next = nullptr;
        --count;
        return std::move(entry.self);
    }

    void pushCandidateLocked(Operation& operation, bool atFront) {
        Entry& entry = entryOf(operation);
        entry.offer = Offer::waiting;
        if (atFront) {
            entry.previousCandidate = nullptr;
            entry.nextCandidate = firstCandidate;
            (firstCandidate != nullptr ? entryOf(*firstCandidate).previousCandidate : lastCandidate) = &operation;
            firstCandidate = &operation;
        } else {
            entry.nextCandidate = nullptr;
            entry.previousCandidate = lastCandidate;
            (lastCandidate != nullptr ? entryOf(*lastCandidate).nextCandidate : firstCandidate) = &operation;
            lastCandidate = &operation;
        }
    }

    void removeCandidateLocked(Operation& operation, Offer offer) {
        Entry& entry = entryOf(operation);
        (entry.previousCandidate != nullptr ? entryOf(*entry.previousCandidate).nextCandidate : firstCandidate) =
            entry.nextCandidate;
        (entry.nextCandidate != nullptr ? entryOf(*entry.nextCandidate).previousCandidate : lastCandidate) =
            entry.previousCandidate;
        entry.previousCandidate = entry.nextCandidate = nullptr;
        entry.offer = offer;
    }

    void offerLocked(Operation& operation) {
        Entry& entry = entryOf(operation);
        if (entry.started || !listed(operation)) {
            return;
        }
        if (entry.offer == Offer::reading) {
            entry.recheck = true;
        } else if (entry.offer == Offer::none) {
            pushCandidateLocked(operation, false);
        }
    }

    // Removes a finished operation. It is let go on a pool thread: this may
    // run inside one of its own notifications, and releasing the last
    // reference there would destroy it mid-call.
    void finish(Operation& operation) {
        std::shared_ptr<Operation> released;
        std::unique_lock lock(mutex);
        if (!listed(operation)) {
            return;
        }
        Entry& entry = entryOf(operation);
        if (entry.started) {
            --executing;
        }
        if (entry.offer == Offer::waiting) {
            removeCandidateLocked(operation, Offer::none);
        }
        released = unlistLocked(operation);
        const bool wake = waiterMayBeDoneLocked();
        if (released.get() == running.operation) {
            // run() still holds it, and the next operation may run on this thread.
            running.finished = true;
            scheduleLocked(running.next, lock);
            if (lock.owns_lock()) {
                lock.unlock();
            }
            if (wake) {
                finished.notify_all();
            }
            return;
        }
        lock.unlock();
        if (wake) {
            finished.notify_all();
        }
        const auto keep = shared_from_this();  // releasing the operation may release this state
        WorkerPool::shared().submit([released = std::move(released)] {});
        schedule();
    }

    // One pass at a time: a pass that starts an operation while another pass
    // has an earlier one set aside would break the order. A request that
    // comes while a pass runs makes that pass go round again.
    // `next`: where the first operation to start goes instead of the pool.
    //
    // A round takes candidates in order while the limit leaves room, reads
    // their flags without the lock, then under it starts the ready ones,
    // drops the finished ones and sets aside the others until their next
    // readiness change. The pass ends, under the lock, once a round leaves
    // nothing more to take and no request came meanwhile.
    void schedule(std::shared_ptr<Operation>* next = nullptr) {
        std::unique_lock lock(mutex);
        scheduleLocked(next, lock);
    }

    // Called with the lock held; may return with it released.
    void scheduleLocked(std::shared_ptr<Operation>* next, std::unique_lock<std::mutex>& lock) {
        if (scheduling) {
            scheduleAgain = true;
            return;
        }
        scheduling = true;
        while (true) {
            scheduleAgain = false;
            std::size_t room = maxConcurrent < 0 ? static_cast<std::size_t>(-1)
                               : hasRoomLocked() ? static_cast<std::size_t>(maxConcurrent) - executing
                                                 : 0;
            while (room > 0 && firstCandidate != nullptr) {
                Operation& operation = *firstCandidate;
                removeCandidateLocked(operation, Offer::reading);
                Entry& entry = entryOf(operation);
                entry.recheck = false;
                batch.push_back(entry.self);
                --room;
            }
            if (batch.empty()) {
                scheduling = false;
                return;
            }
            lock.unlock();
            flags.clear();
            for (const auto& operation : batch) {
                const bool isFinished = operation->isFinished();
                flags.emplace_back(isFinished, !isFinished && operation->isReady());
            }
            lock.lock();
            const bool stalled = !settleRoundLocked();
            const bool more = !stalled && hasRoomLocked() && firstCandidate != nullptr;
            // The usual step of a serial drain: at most one operation, for
            // this thread to run next, and nothing else to do.
            const bool onlyNext =
                toDrop.empty() && (toStart.empty() || (toStart.size() == 1 && next != nullptr && *next == nullptr));
            // The batch is the pass's until `scheduling` is cleared, so it is
            // emptied here under the lock; that is safe only when the list
            // still holds every operation left in it (none is released).
            if (onlyNext && !more && !scheduleAgain && batchHeldByListLocked()) {
                if (!toStart.empty()) {
                    *next = std::move(toStart.front());
                    toStart.clear();
                }
                batch.clear();
                scheduling = false;
                lock.unlock();
                return;
            }
            lock.unlock();
            batch.clear();
            for (const auto& operation : toDrop) {
                finish(*operation);
            }
            toDrop.clear();
            for (auto& started : toStart) {
                if (next != nullptr && *next == nullptr) {
                    *next = std::move(started);
                    continue;
                }
                WorkerPool::shared().submit(
                    [state = shared_from_this(), started = std::move(started)]() mutable {
                        state->run(std::move(started));
                    });
            }
            toStart.clear();
            lock.lock();
            if (stalled && !scheduleAgain) {
                scheduling = false;  // the running operations' finishes schedule the rest
                return;
            }
        }
    }

    bool batchHeldByListLocked() const {
        return std::all_of(batch.begin(), batch.end(),
                           [](const auto& operation) { return operation == nullptr || listed(*operation); });
    }

    // Sorts the round's batch by the flags read; false when all that is left
    // only waits for room.
    bool settleRoundLocked() {
        // Those still startable but without room go back to the front, in order.
        bool progress = false;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            auto& operation = batch[i];
            Entry& entry = entryOf(*operation);
            if (!listed(*operation) || entry.started) {
                continue;
            }
            const auto [isFinished, isReady] = flags[i];
            progress = progress || isFinished || !isReady || hasRoomLocked();
            if (isFinished) {
                entry.offer = Offer::none;
                toDrop.push_back(std::move(operation));
            } else if (isReady && hasRoomLocked()) {
                entry.offer = Offer::none;
                entry.started = true;
                ++executing;
                toStart.push_back(std::move(operation));
            } else if (isReady || entry.recheck) {
                entry.recheck = false;
                putBack.push_back(operation.get());
            } else {
                entry.offer = Offer::none;  // its next readiness change offers it again
            }
        }
        for (auto it = putBack.rbegin(); it != putBack.rend(); ++it) {
            pushCandidateLocked(**it, true);
        }
        putBack.clear();
        return progress;
    }

    // Runs the operation, then each next one its finish hands to this thread.
    void run(std::shared_ptr<Operation> operation) {
        auto previousQueue = std::exchange(currentQueue, queue);
        const RunningHere previous = running;
        while (operation) {
            std::shared_ptr<Operation> next;
            running = {operation.get(), &next, false};
            if (!operation->isFinished()) {
                operation->start();
            }
            // Covers operations that finish without announcing it.
            if (!running.finished && operation->isFinished()) {
                finish(*operation);
            }
            running = {};  // a late finish from elsewhere must not use `next`
            operation = std::move(next);
        }
        running = previous;
        currentQueue = std::move(previousQueue);
    }

    void didChange(Operation& operation, std::string_view key) override {
        if (key == "isFinished") {
            if (operation.isFinished()) {
                finish(operation);
            }
        } else if (key == "isReady") {
            {
                const std::lock_guard lock(mutex);
                offerLocked(operation);
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
    Operation& added = *operation;
    Operation::QueueLink* unclaimed = nullptr;
    if (!added.queueLinkRaw_.compare_exchange_strong(unclaimed, state_.get(), std::memory_order_acq_rel)) {
        // As the platform's queue does: an operation runs in one queue, once.
        throw NSException("NSInvalidArgumentException", "operation is already enqueued on a queue");
    }
    added.queueLink_ = state_;
    {
        const std::lock_guard lock(state_->mutex);
        added.queueEntry_.id = ++state_->lastId;
        state_->listLocked(std::move(operation));
        state_->offerLocked(added);
        if (!state_->hasRoomLocked()) {
            return;  // a running operation's finish schedules it
        }
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
    return state_->count;
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    const BlockingScope blocking;
    std::unique_lock lock(state_->mutex);
    const std::uint64_t last = state_->lastId;
    const auto wait = state_->waits.insert(last);
    state_->finished.wait(lock, [&] { return state_->first == nullptr || state_->first->queueEntry_.id > last; });
    state_->waits.erase(wait);
}

}  // namespace orvane
