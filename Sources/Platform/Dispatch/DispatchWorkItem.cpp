#include "Platform/Dispatch/DispatchWorkItem.hpp"

#include <utility>

namespace orvane {

DispatchWorkItem::DispatchWorkItem(std::function<void()> block)
    : block_(block ? std::make_shared<const std::function<void()>>(std::move(block)) : nullptr) {}

void DispatchWorkItem::perform() {
    std::shared_ptr<const std::function<void()>> block;
    {
        const std::lock_guard lock(mutex_);
        if (isCancelled()) {
            return;
        }
        block = block_;
    }
    if (block) {
        (*block)();
    }
}

void DispatchWorkItem::cancel() noexcept {
    std::shared_ptr<const std::function<void()>> released;  // destroyed after the lock
    const std::lock_guard lock(mutex_);
    cancelled_.store(true, std::memory_order_release);
    released = std::move(block_);
}

}  // namespace orvane
