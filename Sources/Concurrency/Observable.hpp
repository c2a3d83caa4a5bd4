// Observable: broadcasts values of one type to every registered callback,
// asynchronously, on a delivery queue (the main queue unless the owner sets
// another).
//
// fire(value) returns at once; later, one block on the delivery queue calls
// every callback registered by the time that block reads the list, in the
// order of registration, with the same copy of the value. Callbacks are kept
// for the observable's lifetime and cannot be removed; one registered twice
// is called twice per fire. With a serial delivery queue fires are delivered
// one at a time in the order of the fire calls; with a concurrent one they may
// overlap and the observable adds no ordering of its own.
//
// Ownership: the observable holds its callbacks (and whatever they capture)
// strongly; a pending delivery holds the observable only weakly, so releasing
// the observable drops its undelivered fires. A delivery that has started
// keeps it alive until the delivery ends.
//
// Thread safety: observe() and fire() may be called from any thread, also from
// inside a callback. queue()/setQueue() are not synchronised: set the queue
// before sharing the observable across threads.
//
//   auto progress = orvane::Observable<double>::create();
//   progress->observe([](const double& value) { bar.set(value); });
//   progress->fire(0.5);   // the main loop delivers 0.5 to the callback
#pragma once

#include "Concurrency/ThreadSafeSequence.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"

#include <functional>
#include <memory>
#include <utility>

namespace orvane {

template <class T>
class Observable : public std::enable_shared_from_this<Observable<T>> {
    struct Token {
        explicit Token() = default;
    };

public:
    using Callback = std::function<void(const T&)>;

    static std::shared_ptr<Observable> create() { return std::make_shared<Observable>(Token{}); }

    explicit Observable(Token) {}
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    const std::shared_ptr<DispatchQueue>& queue() const { return queue_; }
    // Affects the fires made after it.
    void setQueue(std::shared_ptr<DispatchQueue> queue) { queue_ = std::move(queue); }

    // Registers `callback` for every later delivery; returns at once.
    void observe(Callback callback) { observers_->append(std::move(callback)); }

    // Schedules one delivery of `value`; never calls a callback before returning.
    void fire(T value) {
        std::shared_ptr<DispatchQueue> queue = queue_;
        std::weak_ptr<Observable> weakSelf = this->weak_from_this();
        auto shared = std::make_shared<const T>(std::move(value));
        queue->async([weakSelf = std::move(weakSelf), shared = std::move(shared)] {
            std::shared_ptr<Observable> self = weakSelf.lock();
            if (!self) {
                return;
            }
            // Live iteration: a callback registered before this step is reached is called too.
            for (const Callback& callback : *self->observers_) {
                callback(*shared);
            }
        });
    }

private:
    std::shared_ptr<DispatchQueue> queue_ = DispatchQueue::main();
    std::shared_ptr<ThreadSafeSequence<Callback>> observers_ = ThreadSafeSequence<Callback>::create();
};

}  // namespace orvane
