// sync: turns an operation that reports through a completion into a blocking
// call that returns the reported value.
//
// sync<A>(body) calls body once, on the calling thread, with a completion
// taking an A; it then blocks the calling thread until the completion has
// been called — before body returns, or later on any thread — and returns
// the value it received. The value travels through a slot shared with the
// completion and a DispatchSemaphore made with count 0: the completion
// stores, then signals; the caller waits, then reads.
//
// Thread safety: blocks only the caller. The body must call the completion
// exactly once; later calls are ignored. A body that never calls it blocks
// the caller for ever, and so does calling sync on the one thread the body
// needs in order to deliver.
//
//   int answer = orvane::sync<int>([](std::function<void(int)> completion) {
//       std::thread([completion] { completion(42); }).detach();
//   });
#pragma once

#include "Platform/Dispatch/DispatchSemaphore.hpp"

#include <atomic>
#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace orvane {

template <class A, class Body>
requires std::invocable<Body&, std::function<void(A)>> A sync(Body&& body) {
    struct Shared {
        DispatchSemaphore semaphore{0};
        std::optional<A> slot;
        std::atomic<bool> delivered{false};
    };
    auto shared = std::make_shared<Shared>();
    std::function<void(A)> completion = [shared](A value) {
        if (shared->delivered.exchange(true)) {
            return;
        }
        shared->slot = std::move(value);
        shared->semaphore.signal();
    };
    std::invoke(body, std::move(completion));
    shared->semaphore.wait();
    return std::move(*shared->slot);
}

}  // namespace orvane
