// WorkerPool: the process-wide pool of threads behind the global and private
// dispatch queues and the operation queues. Internal to the platform layer.
//
// - `submit` runs a job on a pool thread; jobs start in submission order.
// - `submitAt` runs a short hand-off (typically "put this block on its
//   queue") on the pool's timer thread once its deadline has passed. Hand-offs
//   with equal deadlines run in submission order; they must not block.
//
// The pool is made on first use and makes no thread until work arrives. It
// starts threads at once up to the number of cores; beyond that it adds one
// when queued work has waited a while without any worker taking a job (the
// running jobs are blocked or busy), up to a cap, so blocks that wait for
// other blocks cannot starve the pool. A worker idle for a few seconds exits;
// so does the timer thread once it has nothing to watch.
//
// Thread safety: every operation may be called from any thread, including
// from jobs and hand-offs. A job or hand-off must not throw: an escaping
// exception ends the process, as it does on the platform.
//
//   orvane::WorkerPool::shared().submit([] { work(); });
//   orvane::WorkerPool::shared().submitAt(orvane::DispatchTime::now() + 0.5, [] { later(); });
#pragma once

#include "Platform/Dispatch/DispatchTime.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace orvane {

class WorkerPool {
public:
    using Job = std::function<void()>;

    struct Limits {
        std::size_t eagerThreads;                 // started without waiting, as work arrives
        std::size_t maxThreads;                   // never more than this many workers
        std::chrono::milliseconds stallInterval;  // how long queued work waits before growth
        std::chrono::milliseconds idleTimeout;    // how long an idle thread lives
    };

    // shared: the process-wide pool, made on the first call and never destroyed
    // (detached workers may still be running while the process exits).
    static WorkerPool& shared();

    explicit WorkerPool(Limits limits);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    // Waits for queued jobs to finish and for the threads to exit; hand-offs
    // whose deadline has not come are dropped. The shared pool is never
    // destroyed.
    ~WorkerPool();

    void submit(Job job);
    void submitAt(DispatchTime deadline, Job handOff);

    // Workers currently alive (running or idle), and the most alive at once.
    std::size_t threadCount() const;
    std::size_t peakThreadCount() const;
    const Limits& limits() const { return limits_; }

private:
    struct IdleWorker {
        std::condition_variable wake;
        bool woken = false;
    };
    using TimerKey = std::pair<DispatchTime::Clock::time_point, std::uint64_t>;

    void startWorkerLocked();
    void workerLoop();
    void startTimerLocked();
    void timerLoop();
    bool needsStallWatchLocked() const;

    const Limits limits_;
    mutable std::mutex mutex_;
    // All below guarded by mutex_.
    std::deque<Job> jobs_;
    std::vector<IdleWorker*> idle_;  // most recently idle last: it is woken first
    std::size_t threads_ = 0;
    std::size_t peakThreads_ = 0;
    std::uint64_t jobsTaken_ = 0;  // progress counter the stall watch compares
    std::map<TimerKey, Job> timed_;
    std::uint64_t timedSequence_ = 0;
    bool timerRunning_ = false;
    bool timerWatching_ = false;  // the timer thread is already watching for a stall
    bool stopping_ = false;
    std::condition_variable timerWake_;
    std::condition_variable exited_;
};

}  // namespace orvane
