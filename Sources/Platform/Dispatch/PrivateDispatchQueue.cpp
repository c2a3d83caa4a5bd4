// The serial and concurrent queues that DispatchQueue::create makes.
//
// Both are one mechanism: a FIFO of entries, each either shared (may overlap
// other shared entries) or exclusive (runs alone). On a serial queue every
// entry is exclusive; on a concurrent queue only barrier blocks are. Entries
// start strictly in FIFO order: the front starts as soon as the rules allow,
// and nothing behind it starts before it. Asynchronous entries run on the
// worker pool; a sync entry, when its turn comes, wakes its waiting caller,
// which runs the block on its own thread.
//
// Sync reads on a concurrent queue have a fast path that never takes the
// mutex: the gate, one atomic word, counts the reads running on that path and
// carries a "closed" bit while a barrier is queued or running (on a concurrent
// queue only a barrier, or work behind one, ever waits in the FIFO). A read
// enters by incrementing the word; if the bit was set it backs out and queues
// as before. A barrier closes the gate before it checks whether it may start,
// so it never starts while a fast read runs, and a read made by a thread that
// knew of the barrier sees the bit and queues behind it. The last fast read to
// leave a closed gate starts whatever waited for it. The gate opens again
// (release) once no barrier is queued or running, so a read entering
// afterwards (acquire) sees its writes.
#include "Platform/Dispatch/DispatchQueue.hpp"

#include "Platform/Dispatch/BlockingScope.hpp"
#include "Platform/Dispatch/WorkerPool.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace orvane {
namespace {

class PrivateDispatchQueue final : public DispatchQueue {
public:
    PrivateDispatchQueue(std::string label, Kind kind) : DispatchQueue(std::move(label), kind) {}

    void async(Block block) override { submit(std::move(block), kind() == Kind::serial); }

    void asyncBarrier(Block block) override { submit(std::move(block), true); }

    void asyncAfter(DispatchTime deadline, Block block) override {
        if (!block || deadline <= DispatchTime::now()) {
            async(std::move(block));
            return;
        }
        // The hand-off holds the queue, so a released queue still runs it.
        WorkerPool::shared().submitAt(
            deadline, [self = self(), block = std::move(block)]() mutable { self->async(std::move(block)); });
    }

    void sync(const Block& block) override;

private:
    struct SyncWaiter {
        std::condition_variable turn;
        bool mayRun = false;
    };

    struct Entry {
        Block block;  // empty for a sync entry
        bool exclusive = false;
        SyncWaiter* waiter = nullptr;
    };

    // A block run inline after the one before it on the same worker, instead
    // of going back to the pool; bounded so one busy queue shares the pool.
    static constexpr int inlineBudget = 32;

    std::shared_ptr<PrivateDispatchQueue> self() {
        return std::static_pointer_cast<PrivateDispatchQueue>(shared_from_this());
    }

    void submit(Block block, bool exclusive);
    bool canStartLocked(bool exclusive) const {
        return !exclusiveRunning_ && (!exclusive || (running_ == 0 && fastReaders() == 0));
    }
    void markStartedLocked(bool exclusive);
    void markFinishedLocked(bool exclusive);
    std::vector<Entry> takeStartableLocked();
    void launch(std::vector<Entry> entries);
    void runFrom(Entry entry);

    // The gate of the read fast path (concurrent queues only).
    static constexpr std::uint64_t gateClosed = std::uint64_t{1} << 63;
    bool enterFast();
    void leaveFast();
    std::uint64_t fastReaders() const { return gate_.load(std::memory_order_acquire) & ~gateClosed; }
    void closeGateLocked();
    void updateGateLocked();

    std::atomic<std::uint64_t> gate_{0};

    std::mutex mutex_;
    // All below guarded by mutex_.
    std::deque<Entry> pending_;
    std::size_t running_ = 0;  // shared entries started through the FIFO and not finished
    bool exclusiveRunning_ = false;
    bool gateIsClosed_ = false;  // mirrors the bit in gate_
};

void PrivateDispatchQueue::submit(Block block, bool exclusive) {
    if (!block) {
        return;
    }
    std::vector<Entry> startable;
    {
        const std::lock_guard lock(mutex_);
        pending_.push_back(Entry{std::move(block), exclusive, nullptr});
        if (exclusive) {
            closeGateLocked();  // before takeStartableLocked counts the fast readers
        }
        startable = takeStartableLocked();
    }
    launch(std::move(startable));
}

bool PrivateDispatchQueue::enterFast() {
    const std::uint64_t previous = gate_.fetch_add(1, std::memory_order_acquire);
    if ((previous & gateClosed) == 0) {
        return true;
    }
    leaveFast();  // a barrier is queued or running: this read queues behind it
    return false;
}

void PrivateDispatchQueue::leaveFast() {
    const std::uint64_t previous = gate_.fetch_sub(1, std::memory_order_release);
    if (previous != (gateClosed | 1)) {
        return;
    }
    // The last fast reader has left a closed gate: a barrier may be waiting for it.
    std::vector<Entry> startable;
    {
        const std::lock_guard lock(mutex_);
        startable = takeStartableLocked();
    }
    launch(std::move(startable));
}

void PrivateDispatchQueue::closeGateLocked() {
    if (kind() == Kind::concurrent && !gateIsClosed_) {
        gate_.fetch_or(gateClosed, std::memory_order_acq_rel);
        gateIsClosed_ = true;
    }
}

// Opens the gate once nothing exclusive is queued or running.
void PrivateDispatchQueue::updateGateLocked() {
    if (gateIsClosed_ && !exclusiveRunning_ && pending_.empty()) {
        gate_.fetch_and(~gateClosed, std::memory_order_release);
        gateIsClosed_ = false;
    }
}

void PrivateDispatchQueue::sync(const Block& block) {
    if (!block) {
        return;
    }
    const bool exclusive = kind() == Kind::serial;
    if (!exclusive && enterFast()) {
        // The block may throw to the caller; the read leaves the gate either way.
        struct Leave {
            PrivateDispatchQueue& queue;
            ~Leave() { queue.leaveFast(); }
        } leave{*this};
        block();
        return;
    }
    {
        std::unique_lock lock(mutex_);
        if (pending_.empty() && canStartLocked(exclusive)) {
            markStartedLocked(exclusive);
        } else {
            SyncWaiter waiter;
            pending_.push_back(Entry{Block(), exclusive, &waiter});
            const BlockingScope blocking;
            waiter.turn.wait(lock, [&] { return waiter.mayRun; });
        }
    }

    // The block may throw to the caller; the queue moves on either way.
    struct Finish {
        PrivateDispatchQueue& queue;
        bool exclusive;
        ~Finish() {
            std::vector<Entry> startable;
            {
                const std::lock_guard lock(queue.mutex_);
                queue.markFinishedLocked(exclusive);
                startable = queue.takeStartableLocked();
            }
            queue.launch(std::move(startable));
        }
    } finish{*this, exclusive};
    block();
}

void PrivateDispatchQueue::markStartedLocked(bool exclusive) {
    if (exclusive) {
        exclusiveRunning_ = true;
    } else {
        ++running_;
    }
}

void PrivateDispatchQueue::markFinishedLocked(bool exclusive) {
    if (exclusive) {
        exclusiveRunning_ = false;
    } else {
        --running_;
    }
}

// Starts entries from the front while the rules allow, then opens the gate if
// nothing exclusive is left. Sync waiters are woken here; the asynchronous
// entries are returned for launch() outside the lock.
std::vector<PrivateDispatchQueue::Entry> PrivateDispatchQueue::takeStartableLocked() {
    std::vector<Entry> startable;
    while (!pending_.empty() && canStartLocked(pending_.front().exclusive)) {
        Entry entry = std::move(pending_.front());
        pending_.pop_front();
        markStartedLocked(entry.exclusive);
        if (entry.waiter != nullptr) {
            entry.waiter->mayRun = true;
            entry.waiter->turn.notify_one();
        } else {
            startable.push_back(std::move(entry));
        }
    }
    updateGateLocked();
    return startable;
}

void PrivateDispatchQueue::launch(std::vector<Entry> entries) {
    for (Entry& entry : entries) {
        WorkerPool::shared().submit(
            [self = self(), entry = std::move(entry)]() mutable { self->runFrom(std::move(entry)); });
    }
}

void PrivateDispatchQueue::runFrom(Entry entry) {
    for (int budget = inlineBudget;; --budget) {
        entry.block();
        entry.block = nullptr;  // release the block's captures before going on
        std::vector<Entry> startable;
        {
            const std::lock_guard lock(mutex_);
            markFinishedLocked(entry.exclusive);
            startable = takeStartableLocked();
        }
        if (startable.empty() || budget <= 0) {
            launch(std::move(startable));
            return;
        }
        entry = std::move(startable.front());
        startable.erase(startable.begin());
        launch(std::move(startable));
    }
}

}  // namespace

std::shared_ptr<DispatchQueue> DispatchQueue::create(std::string label, Kind kind) {
    return std::make_shared<PrivateDispatchQueue>(std::move(label), kind);
}

}  // namespace orvane
