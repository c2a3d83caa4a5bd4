#include "Platform/Dispatch/DispatchSemaphore.hpp"

#include "Platform/Dispatch/BlockingScope.hpp"

#include <optional>

#include <stdexcept>

namespace orvane {

DispatchSemaphore::DispatchSemaphore(std::int64_t value) : value_(value) {
    if (value < 0) {
        throw std::invalid_argument("DispatchSemaphore needs a count of zero or more");
    }
}

bool DispatchSemaphore::signal() {
    bool wakes = false;
    {
        std::lock_guard lock(mutex_);
        // A waiter is woken only if the units already counted do not cover it.
        wakes = waiters_ > value_;
        ++value_;
    }
    if (wakes) {
        available_.notify_one();
    }
    return wakes;
}

void DispatchSemaphore::wait() {
    std::unique_lock lock(mutex_);
    ++waiters_;
    std::optional<BlockingScope> blocking;
    if (value_ <= 0) {
        blocking.emplace();
    }
    available_.wait(lock, [this] { return value_ > 0; });
    --waiters_;
    --value_;
}

bool DispatchSemaphore::wait(std::chrono::nanoseconds timeout) {
    return wait(std::chrono::steady_clock::now() + timeout);
}

bool DispatchSemaphore::wait(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    ++waiters_;
    std::optional<BlockingScope> blocking;
    if (value_ <= 0) {
        blocking.emplace();
    }
    const bool taken = available_.wait_until(lock, deadline, [this] { return value_ > 0; });
    --waiters_;
    if (taken) {
        --value_;
    }
    return taken;
}

}  // namespace orvane
