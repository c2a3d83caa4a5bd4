#include "Platform/Dispatch/DispatchWorkItem.hpp"

#include <utility>

namespace orvane {

DispatchWorkItem::DispatchWorkItem(std::function<void()> block) : block_(std::move(block)) {}

void DispatchWorkItem::perform() {
    if (!isCancelled() && block_) {
        block_();
    }
}

}  // namespace orvane
