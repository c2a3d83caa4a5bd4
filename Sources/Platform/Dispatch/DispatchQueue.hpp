// DispatchQueue: serial and concurrent work queues, the main queue and the
// global concurrent queue.
//
// - A serial queue runs its blocks one at a time, in submission order.
// - A concurrent queue starts its blocks in submission order and lets them
//   overlap; a barrier block (asyncBarrier) runs alone: after every block
//   submitted before it has finished and before any block submitted after it
//   starts.
// - The main queue is serial and runs its blocks on the thread that iterates
//   the GLib default main context (the application's main thread in a GTK or
//   Qt program; MainLoop::runUntil in tests and tools).
// - The global queue is concurrent, of default quality of service.
//
// Private and global queues run on one process-wide worker pool owned by the
// platform layer. The pool makes no thread until work arrives, and grows (up
// to a cap) when running blocks block, so a blocked block cannot starve the
// others.
//
// sync() waits until the block may run under the queue's rules and runs it on
// the caller's thread (the main queue's blocks always run on the main thread;
// sync on the main queue from the main thread itself would never return).
// Calling sync on a serial queue from a block already running on that same
// queue deadlocks, as it does on the platform.
//
// Thread safety: every operation may be called from any thread. A queue lives
// until it is released and its submitted blocks have run.
//
//   auto queue = orvane::DispatchQueue::create("com.orvane.example",
//   orvane::DispatchQueue::Kind::concurrent); queue->asyncBarrier([&] { state.push_back(1); }); auto size =
//   queue->sync([&] { return state.size(); });
#pragma once

#include "Platform/Dispatch/DispatchTime.hpp"
#include "Platform/Dispatch/DispatchWorkItem.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace orvane {

class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    enum class Kind { serial, concurrent };
    using Block = std::function<void()>;

    // A new private queue.
    static std::shared_ptr<DispatchQueue> create(std::string label, Kind kind = Kind::serial);
    // The main queue, bound to the GLib default main context.
    static std::shared_ptr<DispatchQueue> main();
    // The global concurrent queue of default quality of service.
    static std::shared_ptr<DispatchQueue> global();

    virtual ~DispatchQueue() = default;

    const std::string& label() const { return label_; }
    Kind kind() const { return kind_; }

    virtual void async(Block block) = 0;
    // A cancelled item is skipped when its turn comes.
    void async(std::shared_ptr<DispatchWorkItem> item);
    // On a serial queue a barrier is an ordinary block; so it is on the global
    // queue, which every part of the process shares.
    virtual void asyncBarrier(Block block) = 0;
    // Submits the block no earlier than the deadline (then it queues as async does).
    virtual void asyncAfter(DispatchTime deadline, Block block) = 0;
    void asyncAfter(DispatchTime deadline, std::shared_ptr<DispatchWorkItem> item);

    // Runs the block under the queue's rules and waits for it.
    virtual void sync(const Block& block) = 0;
    // As sync(block), returning the block's result.
    template <class F>
    requires(!std::is_void_v<std::invoke_result_t<F&>>) std::invoke_result_t<F&> sync(F&& function);

protected:
    DispatchQueue(std::string label, Kind kind) : label_(std::move(label)), kind_(kind) {}

private:
    std::string label_;
    Kind kind_;
};

template <class F>
requires(!std::is_void_v<std::invoke_result_t<F&>>) std::invoke_result_t<F&> DispatchQueue::sync(
    F&& function) {
    std::optional<std::invoke_result_t<F&>> result;
    sync(Block([&] { result.emplace(function()); }));
    return std::move(*result);
}

}  // namespace orvane
