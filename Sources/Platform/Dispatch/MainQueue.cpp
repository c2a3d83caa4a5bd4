// The main queue: one GLib source on the default main context that drains a
// FIFO of blocks. Submitting from any thread appends under a lock; whichever
// thread iterates the context runs the blocks, one at a time, in submission
// order. Deadlines are kept by the worker pool's timer, which hands each block
// into the same FIFO when it is due.
//
// Waking the context costs a write to its wake-up descriptor and a read back
// in the next check, so a submission wakes it only when the iterating thread
// may be asleep in poll: the source's prepare marks the queue "polling" when it
// finds the FIFO empty (the iteration may then block), and check clears the
// mark. Both happen under the FIFO's lock, so a block appended after that
// prepare sees the mark and wakes the context, and one appended before it is
// seen by prepare itself, which then keeps the poll from blocking. This is the
// rule g_idle_add follows (wake only a context another thread may be polling).
//
// The source does not recurse: a main-queue block that iterates the context
// itself (MainLoop::runUntil) does not see later main-queue blocks run until
// it returns.
#include "Platform/Dispatch/DispatchQueue.hpp"

#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainContext.hpp"
#include "Platform/Dispatch/WorkerPool.hpp"

#include <glib.h>

#include <deque>
#include <exception>
#include <mutex>

namespace orvane {
namespace {

void runBlock(const DispatchQueue::Block& block) noexcept {
    block();
}

class MainQueue final : public DispatchQueue {
public:
    static const std::shared_ptr<MainQueue>& instance() {
        // Never destroyed: the source on the default context uses it.
        static const auto* const queue = new std::shared_ptr<MainQueue>(std::make_shared<MainQueue>());
        return *queue;
    }

    MainQueue() : DispatchQueue("com.orvane.main", Kind::serial), context_(mainContext()) {
        static GSourceFuncs funcs = {
            &MainQueue::prepare, &MainQueue::check, &MainQueue::dispatch, nullptr, nullptr, nullptr};
        GSource* source = g_source_new(&funcs, sizeof(GSource));
        g_source_set_name(source, "orvane main queue");
        g_source_attach(source, context_);
        g_source_unref(source);  // the context keeps it for the life of the process
    }

    void async(Block block) override {
        if (!block) {
            return;
        }
        bool wake = false;
        {
            const std::lock_guard lock(mutex_);
            // Only the first block of a batch may find the thread polling:
            // once the FIFO holds a block, prepare never lets the poll block.
            wake = polling_ && blocks_.empty();
            blocks_.push_back(std::move(block));
        }
        if (wake) {
            g_main_context_wakeup(context_);
        }
    }

    void asyncBarrier(Block block) override { async(std::move(block)); }

    void asyncAfter(DispatchTime deadline, Block block) override {
        if (!block || deadline <= DispatchTime::now()) {
            async(std::move(block));
            return;
        }
        WorkerPool::shared().submitAt(
            deadline, [this, block = std::move(block)]() mutable { async(std::move(block)); });
    }

    void sync(const Block& block) override {
        if (!block) {
            return;
        }
        // Shared: the main thread may still be inside signal() when the wait returns.
        auto done = std::make_shared<DispatchSemaphore>(0);
        std::exception_ptr failure;
        async([&block, &failure, done] {
            try {
                block();
            } catch (...) {
                failure = std::current_exception();
            }
            done->signal();
        });
        done->wait();
        if (failure) {
            std::rethrow_exception(failure);
        }
    }

private:
    // The source's callbacks reach the queue through instance(), not through
    // the source: the static guard orders the thread that made the queue
    // before the thread that runs the context in a way ThreadSanitizer sees.
    // (GLib's own ordering, through its internal locks, it cannot see.)
    static MainQueue& of(GSource*) { return *instance(); }

    // Called before the poll: with no block waiting, the poll may block
    // until something wakes the context.
    static gboolean prepare(GSource* source, gint* timeout) {
        *timeout = -1;
        MainQueue& queue = of(source);
        const std::lock_guard lock(queue.mutex_);
        queue.polling_ = queue.blocks_.empty();
        return queue.polling_ ? FALSE : TRUE;
    }

    // Called after the poll.
    static gboolean check(GSource* source) {
        MainQueue& queue = of(source);
        const std::lock_guard lock(queue.mutex_);
        queue.polling_ = false;
        return queue.blocks_.empty() ? FALSE : TRUE;
    }

    // Runs the blocks that were queued when the dispatch began; blocks they
    // submit wait for the next iteration, so other sources get their turn.
    static gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
        MainQueue& queue = of(source);
        std::size_t count = 0;
        {
            const std::lock_guard lock(queue.mutex_);
            queue.polling_ = false;
            count = queue.blocks_.size();
        }
        for (; count > 0; --count) {
            Block block;
            {
                const std::lock_guard lock(queue.mutex_);
                if (queue.blocks_.empty()) {
                    break;
                }
                block = std::move(queue.blocks_.front());
                queue.blocks_.pop_front();
            }
            runBlock(block);
        }
        return G_SOURCE_CONTINUE;
    }

    GMainContext* const context_;
    std::mutex mutex_;
    std::deque<Block> blocks_;  // guarded by mutex_
    bool polling_ = false;      // guarded by mutex_: the iterating thread may be in poll
};

}  // namespace

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
    return MainQueue::instance();
}

}  // namespace orvane
