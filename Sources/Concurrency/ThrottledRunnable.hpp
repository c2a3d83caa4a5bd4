// ThrottledRunnable: the interface of a debouncer that runs a block once after
// a delay and drops the block of any earlier call that has not started yet.
// ThrottledRunner is the implementation over dispatch queues; tests and
// callers that want no real delay substitute their own.
//
// Thread safety: as the implementation says; ThrottledRunner's operations are
// meant for one owner thread at a time.
//
//   void Search::textChanged(std::string text) {
//       runner_->runIgnoringPendingBlocksAfterDelay(0.3, [this, text] { query(text); });
//   }
#pragma once

#include "Platform/Dispatch/DispatchQueue.hpp"

#include <functional>
#include <memory>

namespace orvane {

class ThrottledRunnable {
public:
    using Block = std::function<void()>;

    virtual ~ThrottledRunnable() = default;

    // Cancels the pending block, if any, and schedules `block` on `on` once
    // `delay` seconds have passed from now. Returns at once.
    virtual void runIgnoringPendingBlocksAfterDelay(double delay, Block block,
                                                    std::shared_ptr<DispatchQueue> on) = 0;
    // The same on the global concurrent queue of default quality of service.
    virtual void runIgnoringPendingBlocksAfterDelay(double delay, Block block) = 0;
    // Cancels the pending block, if any, and forgets it.
    virtual void cancel() = 0;
};

}  // namespace orvane
