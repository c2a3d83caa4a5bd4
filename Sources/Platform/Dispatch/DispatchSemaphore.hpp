// DispatchSemaphore: a counting semaphore in the manner of the platform's
// dispatch semaphores.
//
// The count starts at the value given to the constructor. wait() takes one
// from the count, blocking while it is zero; signal() adds one and wakes one
// waiter. A semaphore made with 0 is the usual way to wait for one event that
// another thread announces; one made with N limits a resource to N users.
//
// Thread safety: every operation may be called from any thread at the same
// time. signal() never blocks. The semaphore must outlive its waiters, so
// share it (std::shared_ptr) when the signalling side may run late.
//
//   auto done = std::make_shared<orvane::DispatchSemaphore>(0);
//   std::thread worker([done] { work(); done->signal(); });
//   done->wait();
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace orvane {

class DispatchSemaphore {
public:
    // Throws std::invalid_argument for a negative value.
    explicit DispatchSemaphore(std::int64_t value);
    DispatchSemaphore(const DispatchSemaphore&) = delete;
    DispatchSemaphore& operator=(const DispatchSemaphore&) = delete;

    // signal: adds one to the count. Returns true when a thread was waiting
    // for it, and so is woken.
    bool signal();

    // wait: takes one from the count, blocking without a deadline while the
    // count is zero.
    void wait();

    // wait(timeout) / wait(deadline): as wait(), but gives up when the time
    // passes first. Returns whether the semaphore was taken; on false the
    // count is unchanged.
    bool wait(std::chrono::nanoseconds timeout);
    bool wait(std::chrono::steady_clock::time_point deadline);

private:
    std::mutex mutex_;
    std::condition_variable available_;
    std::int64_t value_;        // guarded by mutex_
    std::int64_t waiters_ = 0;  // guarded by mutex_: threads inside a wait
};

}  // namespace orvane
