// The queue keeps its operations in a list, in the order they were added.
// Each entry is its own allocation, which the list, the candidate queue and
// the operation (through its queue link, called after its observers) share,
// so a notification reaches its entry without a lookup or a lock. Operations that may be startable wait
// in a candidate queue: every added operation goes there once, and so does
// one whose "isReady" did-change arrives. A scheduling pass (on add, on a
// finish, on readiness, on a new limit) takes candidates in order while the
// limit leaves room, reads their flags without the queue's lock (they are the
// operations' own code), then under the lock starts the ready ones, drops the
// finished ones and sets aside the others until their next readiness change.
// Each step is constant time, so a backlog costs linear time in all.
//
// The link is set before the entry is listed, so a change made by a thread
// that starts or finishes the operation early is never missed; the pass
// re-reads the flags after the entry is listed.
//
// The entries hold the queue's state strongly, so a released queue still runs
// what it was given; the state lets go of each operation once it has
// finished (the operation keeps its entry, which then holds nothing of it).
#include "Platform/Dispatch/OperationQueue.hpp"

#include "Platform/Dispatch/BlockingScope.hpp"
#include "Platform/Dispatch/WorkerPool.hpp"
#include "Platform/Foundation/NSException.hpp"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <set>
#include <utility>
#include <vector>

namespace orvane {
namespace {

thread_local std::weak_ptr<OperationQueue> currentQueue;

// The operation this thread is running for a queue.
thread_local const Operation* runningOperation = nullptr;

}  // namespace

struct OperationQueue::State : std::enable_shared_from_this<OperationQueue::State> {
    // One added operation. Fields other than the constant ones are guarded by
    // the state's mutex.
    struct Entry : Operation::QueueLink {
        Entry(std::shared_ptr<State> owner, std::shared_ptr<Operation> added)
            : state(std::move(owner)), raw(added.get()), operation(std::move(added)) {}

        std::shared_ptr<State> state;
        Operation* const raw;                  // the operation, for its own notifications
        std::shared_ptr<Operation> operation;  // null once finished
        std::uint64_t id = 0;
        Entry* previous = nullptr;  // neighbours in the list, while listed
        Entry* next = nullptr;
        std::shared_ptr<Entry> self;  // keeps it alive while listed
        bool started = false;
        bool candidate = false;  // in `candidates`, or being read by a pass
        bool recheck = false;    // readiness changed while it was being read

        void didChange(std::string_view key) override { state->changed(*this, key); }
    };

    // An operation a pass started, with its entry.
    using Started = std::pair<std::shared_ptr<Entry>, std::shared_ptr<Operation>>;
    // Where the pass that the running operation's finish runs may leave the
    // next one, so that this thread runs it at once.
    static inline thread_local Started* nextOnThisThread = nullptr;
    // Whether the finish of the operation this thread runs has been handled.
    static inline thread_local bool runningFinished = false;

    std::weak_ptr<OperationQueue> queue;
    mutable std::mutex mutex;
    std::condition_variable finished;
    // Guarded by mutex:
    Entry* first = nullptr;  // the list, in the order added, so ids ascend
    Entry* last = nullptr;
    std::size_t count = 0;
    std::deque<std::shared_ptr<Entry>> candidates;
    int maxConcurrent = -1;
    std::size_t executing = 0;  // started and not yet finished
    std::uint64_t lastId = 0;
    std::multiset<std::uint64_t> waits;  // the last id each waiting thread waits for
    bool scheduling = false;             // a pass is running
    bool scheduleAgain = false;          // and another was asked for meanwhile

    // Used only by the one running pass; kept to reuse their storage.
    // Touched with the lock held, or by the pass alone between its rounds.
    std::vector<Started> batch;
    std::vector<std::pair<bool, bool>> flags;  // finished, ready
    std::vector<Started> toStart;
    std::vector<std::shared_ptr<Entry>> toDrop;
    std::vector<std::shared_ptr<Entry>> putBack;

    static bool listed(const Entry& entry) { return entry.self != nullptr; }

    // Whether a waiter may now be done: only then is it woken.
    bool waiterMayBeDoneLocked() const {
        return !waits.empty() && (first == nullptr || first->id > *waits.begin());
    }

    bool hasRoomLocked() const {
        return maxConcurrent < 0 || executing < static_cast<std::size_t>(maxConcurrent);
    }

    void listLocked(const std::shared_ptr<Entry>& entry) {
        entry->self = entry;
        entry->previous = last;
        (last != nullptr ? last->next : first) = entry.get();
        last = entry.get();
        ++count;
    }

    // Unlists the entry; the caller releases the returned reference outside the lock.
    std::shared_ptr<Entry> unlistLocked(Entry& entry) {
        (entry.previous != nullptr ? entry.previous->next : first) = entry.next;
        (entry.next != nullptr ? entry.next->previous : last) = entry.previous;
        entry.previous = entry.next = nullptr;
        --count;
        return std::move(entry.self);
    }

    void offerLocked(Entry& entry) {
        if (entry.started || !listed(entry)) {
            return;
        }
        if (entry.candidate) {
            entry.recheck = true;
            return;
        }
        entry.candidate = true;
        candidates.push_back(entry.self);
    }

    // Removes the entry of a finished operation. The operation itself is let go
    // on a pool thread: this may run inside one of its own notifications, and
    // releasing the last reference there would destroy it mid-call.
    void finish(Entry& entry) {
        std::shared_ptr<Operation> released;
        std::shared_ptr<Entry> unlisted;  // the operation still holds the entry
        std::unique_lock lock(mutex);
        if (!listed(entry)) {
            return;
        }
        if (entry.started) {
            --executing;
        }
        released = std::move(entry.operation);
        unlisted = unlistLocked(entry);
        const bool wake = waiterMayBeDoneLocked();
        if (released.get() == runningOperation) {
            // run() still holds it, and the next operation may run on this thread.
            runningFinished = true;
            scheduleLocked(nextOnThisThread, lock);
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
        const auto keep = shared_from_this();  // releasing the operation may release the entry and this state
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
    void schedule(Started* next = nullptr) {
        std::unique_lock lock(mutex);
        scheduleLocked(next, lock);
    }

    // Called with the lock held; may return with it released.
    void scheduleLocked(Started* next, std::unique_lock<std::mutex>& lock) {
        if (scheduling) {
            scheduleAgain = true;
            return;
        }
        scheduling = true;
        while (true) {
            scheduleAgain = false;
            std::size_t room = maxConcurrent < 0 ? candidates.size()
                               : hasRoomLocked() ? static_cast<std::size_t>(maxConcurrent) - executing
                                                 : 0;
            while (room > 0 && !candidates.empty()) {
                std::shared_ptr<Entry> entry = std::move(candidates.front());
                candidates.pop_front();
                if (!listed(*entry) || entry->started) {
                    continue;  // finished since it was offered
                }
                entry->recheck = false;
                std::shared_ptr<Operation> operation = entry->operation;
                batch.emplace_back(std::move(entry), std::move(operation));
                --room;
            }
            if (batch.empty()) {
                scheduling = false;
                return;
            }
            lock.unlock();
            flags.clear();
            for (const auto& [entry, operation] : batch) {
                const bool isFinished = operation->isFinished();
                flags.emplace_back(isFinished, !isFinished && operation->isReady());
            }
            lock.lock();
            const bool stalled = !settleRoundLocked();
            const bool more = !stalled && hasRoomLocked() && !candidates.empty();
            // The usual step of a serial drain: at most one operation, for
            // this thread to run next, and nothing else to do.
            const bool onlyNext =
                toDrop.empty() &&
                (toStart.empty() || (toStart.size() == 1 && next != nullptr && next->first == nullptr));
            if (onlyNext && !more && !scheduleAgain) {
                if (!toStart.empty()) {
                    *next = std::move(toStart.front());
                    toStart.clear();
                }
                scheduling = false;
                lock.unlock();
                batch.clear();  // may release operations: not under the lock
                return;
            }
            lock.unlock();
            batch.clear();
            for (const auto& entry : toDrop) {
                finish(*entry);
            }
            toDrop.clear();
            for (auto& started : toStart) {
                if (next != nullptr && next->first == nullptr) {
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

    // Sorts the round's batch by the flags read; false when all that is left
    // only waits for room.
    bool settleRoundLocked() {
        // Those still startable but without room go back to the front, in order.
        bool progress = false;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            auto& [entry, operation] = batch[i];
            if (!listed(*entry) || entry->started) {
                continue;
            }
            const auto [isFinished, isReady] = flags[i];
            progress = progress || isFinished || !isReady || hasRoomLocked();
            if (isFinished) {
                entry->candidate = false;
                toDrop.push_back(std::move(entry));
            } else if (isReady && hasRoomLocked()) {
                entry->candidate = false;
                entry->started = true;
                ++executing;
                toStart.emplace_back(std::move(entry), std::move(operation));
            } else if (isReady || entry->recheck) {
                entry->recheck = false;
                putBack.push_back(std::move(entry));
            } else {
                entry->candidate = false;  // its next readiness change offers it again
            }
        }
        candidates.insert(candidates.begin(), std::make_move_iterator(putBack.begin()),
                          std::make_move_iterator(putBack.end()));
        putBack.clear();
        return progress;
    }

    // Runs the operation, then each next one its finish hands to this thread.
    void run(Started started) {
        auto previousQueue = std::exchange(currentQueue, queue);
        const Operation* const previousOperation = runningOperation;
        Started* const previousNext = nextOnThisThread;
        const bool previousFinished = runningFinished;
        while (started.first) {
            Started next;
            const auto& operation = started.second;
            runningOperation = operation.get();
            nextOnThisThread = &next;
            runningFinished = false;
            if (!operation->isFinished()) {
                operation->start();
            }
            // Covers operations that finish without announcing it.
            if (!runningFinished && operation->isFinished()) {
                finish(*started.first);
            }
            runningOperation = nullptr;  // a late finish from elsewhere must not use `next`
            nextOnThisThread = nullptr;
            started = std::move(next);
        }
        runningOperation = previousOperation;
        nextOnThisThread = previousNext;
        runningFinished = previousFinished;
        currentQueue = std::move(previousQueue);
    }

    void changed(Entry& entry, std::string_view key) {
        if (key == "isFinished") {
            if (entry.raw->isFinished()) {
                finish(entry);
            }
        } else if (key == "isReady") {
            {
                const std::lock_guard lock(mutex);
                offerLocked(entry);
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
    if (operation->queued_.exchange(true)) {
        // As the platform's queue does: an operation runs in one queue, once.
        throw NSException("NSInvalidArgumentException", "operation is already enqueued on a queue");
    }
    auto entry = std::make_shared<State::Entry>(state_, operation);
    operation->queueLink_ = entry;
    operation->queueLinkRaw_.store(entry.get(), std::memory_order_release);
    {
        const std::lock_guard lock(state_->mutex);
        entry->id = ++state_->lastId;
        state_->listLocked(entry);
        state_->offerLocked(*entry);
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
    state_->finished.wait(lock, [&] { return state_->first == nullptr || state_->first->id > last; });
    state_->waits.erase(wait);
}

}  // namespace orvane
