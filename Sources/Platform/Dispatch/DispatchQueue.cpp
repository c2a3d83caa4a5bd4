#include "Platform/Dispatch/DispatchQueue.hpp"

#include "Platform/Dispatch/WorkerPool.hpp"

namespace orvane {
namespace {

// The global concurrent queue: blocks go straight to the pool, which starts
// them in submission order. It has no barriers (a barrier block is an
// ordinary one), so sync never has anything to wait for.
class GlobalQueue final : public DispatchQueue {
public:
    GlobalQueue() : DispatchQueue("com.orvane.global.default", Kind::concurrent) {}

    void async(Block block) override {
        if (block) {
            WorkerPool::shared().submit(std::move(block));
        }
    }

    void asyncBarrier(Block block) override { async(std::move(block)); }

    void asyncAfter(DispatchTime deadline, Block block) override {
        if (!block || deadline <= DispatchTime::now()) {
            async(std::move(block));
            return;
        }
        WorkerPool::shared().submitAt(deadline, [block = std::move(block)]() mutable {
            WorkerPool::shared().submit(std::move(block));
        });
    }

    void sync(const Block& block) override {
        if (block) {
            block();
        }
    }
};

}  // namespace

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
    // Never destroyed: blocks may still be submitted while the process exits.
    static auto* const queue = new std::shared_ptr<DispatchQueue>(std::make_shared<GlobalQueue>());
    return *queue;
}

void DispatchQueue::async(std::shared_ptr<DispatchWorkItem> item) {
    if (!item) {
        return;
    }
    async([item = std::move(item)] { item->perform(); });
}

void DispatchQueue::asyncAfter(DispatchTime deadline, std::shared_ptr<DispatchWorkItem> item) {
    if (!item) {
        return;
    }
    asyncAfter(deadline, [item = std::move(item)] { item->perform(); });
}

}  // namespace orvane
