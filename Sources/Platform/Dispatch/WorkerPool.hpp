// WorkerPool: the process-wide pool of threads behind the global and private
// dispatch queues and the operation queues. Internal to the platform layer.
//
// - `submit` runs a job on a pool thread; jobs start in submission order.
// - `submitAt` runs a short hand-off (typically "put this block on its
//   queue") on the pool's timer thread once its deadline has passed. Hand-offs
//   with equal deadlines run in submission order; they must not block.
//
// The pool is made on first use and makes no thread until work arrives. It
// keeps up to `eagerThreads` workers running jobs, not counting workers
// blocked inside a BlockingScope (the library's own waits declare one): when
// a job blocks there, another worker is started at once for queued work, up
// to a cap, so blocks that wait for other blocks cannot starve the pool, and
// busy jobs never grow it. As a slow fallback for jobs that block elsewhere,
// the timer adds a worker when queued work has waited a whole stall interval
// with no job taken and some running worker used almost no CPU in it. A
// worker idle for a few seconds exits; so does the timer thread once it has
// nothing to watch.
//
// Thread safety: every operation may be called from any thread, including
// from jobs and hand-offs. A job or hand-off must not throw: an escaping
// exception ends the process, as it does on the platform.
//
//   orvane::WorkerPool::shared().submit([] { work(); });
//   orvane::WorkerPool::shared().submitAt(orvane::DispatchTime::now() + 0.5, [] { later(); });
#pragma once

#include "Platform/Dispatch/DispatchTime.hpp"

#include <time.h>

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
        std::chrono::milliseconds stallInterval;  // how long queued work waits before fallback growth
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
    friend class BlockingScope;
    struct IdleWorker {
        std::condition_variable wake;
        bool woken = false;
    };
    struct Worker {
        clockid_t cpuClock{};             // the worker thread's CPU-time clock
        int threadId = 0;                 // the kernel's id of the worker thread
        bool running = false;             // inside a job
        int blockedDepth = 0;             // nested BlockingScopes of the running job
        std::chrono::nanoseconds cpuAtCheck{0};
    };

    // The pool and the record of the worker running on this thread, if any.
    static thread_local WorkerPool* currentPool_;
    static thread_local Worker* currentWorker_;

    void blockingBegan();
    void blockingEnded();
    bool someWorkerLooksBlockedLocked(std::chrono::nanoseconds interval);
    bool mayStartEagerLocked() const;
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
    // Wake-up records, owned by the pool and reused by later workers, so a
    // notify made after the lock is released never reaches a freed record.
    std::deque<IdleWorker> idleRecords_;
    std::vector<IdleWorker*> freeIdleRecords_;
    std::vector<Worker*> workers_;
    std::size_t threads_ = 0;
    std::size_t blocked_ = 0;  // workers inside a BlockingScope
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
