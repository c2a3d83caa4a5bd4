// DispatchWorkItem: a block of work that can be cancelled before it starts.
//
// Submit it to a queue (DispatchQueue::async / asyncAfter). cancel() stops a
// submitted item that has not started from ever running; it never interrupts
// a body that is already running. An item runs at most once per submission.
//
// cancel() also lets go of the block, and so of what it captured, at once
// (a body already running keeps it until it returns).
//
// Thread safety: cancel() and isCancelled() may be called from any thread,
// also while the body runs.
//
//   auto item = std::make_shared<orvane::DispatchWorkItem>([] { save(); });
//   queue->asyncAfter(orvane::DispatchTime::now() + 1.0, item);
//   item->cancel();   // save() never runs if the second has not passed
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace orvane {

class DispatchWorkItem {
public:
    explicit DispatchWorkItem(std::function<void()> block);
    DispatchWorkItem(const DispatchWorkItem&) = delete;
    DispatchWorkItem& operator=(const DispatchWorkItem&) = delete;

    // perform: runs the block on the calling thread unless the item is cancelled.
    void perform();
    void cancel() noexcept;
    bool isCancelled() const noexcept { return cancelled_.load(std::memory_order_acquire); }

private:
    std::mutex mutex_;
    std::shared_ptr<const std::function<void()>> block_;  // guarded by mutex_; null once cancelled
    std::atomic<bool> cancelled_{false};
};

}  // namespace orvane
