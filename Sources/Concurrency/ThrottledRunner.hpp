// ThrottledRunner: debounces work over dispatch queues. Each run call cancels
// the block scheduled by the previous call, if it has not started, and
// schedules its own block on a queue one delay after the call; of a burst of
// calls closer together than the delay only the last block runs.
//
// The block is wrapped in a cancellable DispatchWorkItem submitted with a
// deadline. When the block has run, the item clears the runner's workItem
// (whatever item it then holds): a block already running when a new call
// arrives may clear the field the new call has just filled, and that new item
// then still runs but can no longer be cancelled. A block that has started is
// never interrupted. A delay of zero or less runs the block as soon as the
// queue can, never inside the call.
//
// Ownership: the runner holds its pending item; the item holds the block
// strongly and the runner weakly, so a pending block never keeps the runner
// alive. Releasing the runner does not cancel its pending block: it still
// runs at its deadline.
//
// Thread safety: call the three operations from the owner's thread, one at a
// time. A mutex guards workItem against the item's clearing step, which runs
// on the target queue's thread.
//
//   auto saver = orvane::ThrottledRunner::create();
//   saver->runIgnoringPendingBlocksAfterDelay(1.0, [] { save(); }, orvane::DispatchQueue::main());
//   saver->runIgnoringPendingBlocksAfterDelay(1.0, [] { save(); }, orvane::DispatchQueue::main());
//   // save() runs once, a second after the second call
#pragma once

#include "Concurrency/ThrottledRunnable.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchWorkItem.hpp"

#include <memory>
#include <mutex>

namespace orvane {

class ThrottledRunner final : public ThrottledRunnable, public std::enable_shared_from_this<ThrottledRunner> {
    struct Token {
        explicit Token() = default;
    };

public:
    static std::shared_ptr<ThrottledRunner> create();

    explicit ThrottledRunner(Token) {}
    ThrottledRunner(const ThrottledRunner&) = delete;
    ThrottledRunner& operator=(const ThrottledRunner&) = delete;

    void runIgnoringPendingBlocksAfterDelay(double delay, Block block,
                                            std::shared_ptr<DispatchQueue> on) override;
    void runIgnoringPendingBlocksAfterDelay(double delay, Block block) override;
    void cancel() override;

    // Whether workItem holds an item: scheduled, and neither finished nor
    // cancelled through cancel().
    bool isPending() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<DispatchWorkItem> workItem_;  // guarded by mutex_
};

}  // namespace orvane
