#include "Concurrency/ThrottledRunner.hpp"

#include "Platform/Dispatch/DispatchTime.hpp"

#include <utility>

namespace orvane {

std::shared_ptr<ThrottledRunner> ThrottledRunner::create() {
    return std::make_shared<ThrottledRunner>(Token{});
}

void ThrottledRunner::runIgnoringPendingBlocksAfterDelay(double delay, Block block,
                                                         std::shared_ptr<DispatchQueue> on) {
    auto item = std::make_shared<DispatchWorkItem>([weakSelf = weak_from_this(), block = std::move(block)] {
        block();
        if (std::shared_ptr<ThrottledRunner> self = weakSelf.lock()) {
            std::shared_ptr<DispatchWorkItem> finished;
            std::lock_guard lock(self->mutex_);
            finished = std::move(self->workItem_);
        }
    });
    std::shared_ptr<DispatchWorkItem> previous;
    {
        std::lock_guard lock(mutex_);
        if (workItem_) {
            workItem_->cancel();
        }
        previous = std::exchange(workItem_, item);
    }
    // The replaced item (and the block it holds) is released outside the lock.
    previous.reset();
    on->asyncAfter(DispatchTime::now() + delay, std::move(item));
}

void ThrottledRunner::runIgnoringPendingBlocksAfterDelay(double delay, Block block) {
    runIgnoringPendingBlocksAfterDelay(delay, std::move(block), DispatchQueue::global());
}

void ThrottledRunner::cancel() {
    std::shared_ptr<DispatchWorkItem> previous;
    {
        std::lock_guard lock(mutex_);
        if (workItem_) {
            workItem_->cancel();
        }
        previous = std::move(workItem_);
    }
}

bool ThrottledRunner::isPending() const {
    std::lock_guard lock(mutex_);
    return workItem_ != nullptr;
}

}  // namespace orvane
