#include "Platform/Dispatch/WorkerPool.hpp"

#include "Platform/Dispatch/BlockingScope.hpp"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Clock = DispatchTime::Clock;


std::chrono::nanoseconds cpuTimeOf(clockid_t clock) {
    timespec time{};
    if (clock_gettime(clock, &time) != 0) {
        return std::chrono::nanoseconds::max();  // unreadable: count it as busy
    }
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

WorkerPool::Limits sharedLimits() {
    const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
    return WorkerPool::Limits{
        .eagerThreads = std::max<std::size_t>(cores, 2),
        .maxThreads = std::max<std::size_t>(64, 4 * cores),
        .stallInterval = 100ms,
        .idleTimeout = 5s,
    };
}

// Jobs run through here so that an exception escaping one ends the process at
// the throw, with its stack, instead of unwinding a worker.
void runJob(const WorkerPool::Job& job) noexcept {
    job();
}

void nameThisThread(const char* name) {
    pthread_setname_np(pthread_self(), name);  // best effort: only shows in debuggers
}

// Whether the kernel has the thread waiting (not running nor ready to run).
// A busy thread that other processes crowd out stays ready, so load alone
// never makes it look blocked.
bool isWaiting(int threadId) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", threadId);
    std::FILE* file = std::fopen(path, "re");
    if (file == nullptr) {
        return false;
    }
    char line[512];
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    const char* afterName = read ? std::strrchr(line, ')') : nullptr;
    return afterName != nullptr && afterName[1] == ' ' && afterName[2] != 'R';
}

}  // namespace

thread_local WorkerPool* WorkerPool::currentPool_ = nullptr;
thread_local WorkerPool::Worker* WorkerPool::currentWorker_ = nullptr;

WorkerPool& WorkerPool::shared() {
    static WorkerPool* const pool = new WorkerPool(sharedLimits());
    return *pool;
}

WorkerPool::WorkerPool(Limits limits) : limits_(limits) {}

WorkerPool::~WorkerPool() {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    for (IdleWorker* worker : idle_) {
        worker->woken = true;
        worker->wake.notify_one();
    }
    idle_.clear();
    timerWake_.notify_all();
    exited_.wait(lock, [this] { return threads_ == 0 && !timerRunning_; });
}

void WorkerPool::submit(Job job) {
    std::unique_lock lock(mutex_);
    jobs_.push_back(std::move(job));
    if (!idle_.empty()) {
        // Each queued job claims its own idle worker, so a burst wakes as many.
        IdleWorker* worker = idle_.back();
        idle_.pop_back();
        worker->woken = true;
        // Notified after unlocking, so the worker does not wake into a held
        // mutex and sleep again (two more context switches per job).
        lock.unlock();
        worker->wake.notify_one();
    } else if (mayStartEagerLocked()) {
        startWorkerLocked();
    } else if (!timerRunning_) {
        startTimerLocked();  // it watches for a stall
    } else if (!timerWatching_) {
        timerWake_.notify_one();
    }
}

void WorkerPool::submitAt(DispatchTime deadline, Job handOff) {
    const std::lock_guard lock(mutex_);
    const bool earliest = timed_.empty() || deadline.uptime < timed_.begin()->first.first;
    timed_.emplace(TimerKey{deadline.uptime, timedSequence_++}, std::move(handOff));
    if (!timerRunning_) {
        startTimerLocked();
    } else if (earliest) {
        timerWake_.notify_one();
    }
}

std::size_t WorkerPool::threadCount() const {
    const std::lock_guard lock(mutex_);
    return threads_;
}

std::size_t WorkerPool::peakThreadCount() const {
    const std::lock_guard lock(mutex_);
    return peakThreads_;
}

void WorkerPool::startWorkerLocked() {
    try {
        std::thread([this] { workerLoop(); }).detach();
    } catch (const std::system_error&) {
        return;  // out of threads: the timer's stall watch tries again later
    }
    ++threads_;
    peakThreads_ = std::max(peakThreads_, threads_);
}

void WorkerPool::startTimerLocked() {
    try {
        std::thread([this] { timerLoop(); }).detach();
    } catch (const std::system_error&) {
        return;  // the next submission tries again
    }
    timerRunning_ = true;
}

bool WorkerPool::mayStartEagerLocked() const {
    return threads_ - blocked_ < limits_.eagerThreads && threads_ < limits_.maxThreads;
}

void WorkerPool::blockingBegan() {
    const std::lock_guard lock(mutex_);
    if (currentWorker_->blockedDepth++ > 0) {
        return;  // already counted by an outer scope
    }
    ++blocked_;
    if (!jobs_.empty() && idle_.empty() && mayStartEagerLocked()) {
        startWorkerLocked();
    }
}

void WorkerPool::blockingEnded() {
    const std::lock_guard lock(mutex_);
    if (--currentWorker_->blockedDepth == 0) {
        --blocked_;
    }
}

// A running worker outside any BlockingScope that used under a twentieth of
// the interval's CPU time and is waiting now blocks on something the pool
// cannot see.
bool WorkerPool::someWorkerLooksBlockedLocked(std::chrono::nanoseconds interval) {
    bool blocked = false;
    for (Worker* worker : workers_) {
        const auto now = cpuTimeOf(worker->cpuClock);
        const bool readable = now != std::chrono::nanoseconds::max();
        if (readable && worker->running && worker->blockedDepth == 0 && now - worker->cpuAtCheck < interval / 20 &&
            isWaiting(worker->threadId)) {
            blocked = true;
        }
        worker->cpuAtCheck = now;
    }
    return blocked;
}

bool WorkerPool::needsStallWatchLocked() const {
    return !jobs_.empty() && idle_.empty() && threads_ < limits_.maxThreads;
}

void WorkerPool::workerLoop() {
    nameThisThread("orvane-worker");
    Worker worker;
    currentPool_ = this;
    currentWorker_ = &worker;
    if (pthread_getcpuclockid(pthread_self(), &worker.cpuClock) != 0) {
        worker.cpuClock = static_cast<clockid_t>(-1);  // unreadable: always counts as busy
    }
    worker.cpuAtCheck = cpuTimeOf(worker.cpuClock);
    worker.threadId = static_cast<int>(::gettid());
    std::unique_lock lock(mutex_);
    workers_.push_back(&worker);
    if (freeIdleRecords_.empty()) {
        freeIdleRecords_.push_back(&idleRecords_.emplace_back());
    }
    IdleWorker& self = *freeIdleRecords_.back();
    freeIdleRecords_.pop_back();
    while (true) {
        if (!jobs_.empty()) {
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            ++jobsTaken_;
            worker.running = true;
            lock.unlock();
            runJob(job);
            job = nullptr;  // the captures die here, not under the lock
            lock.lock();
            worker.running = false;
            continue;
        }
        if (stopping_) {
            break;
        }
        self.woken = false;
        idle_.push_back(&self);
        if (!self.wake.wait_for(lock, limits_.idleTimeout, [&] { return self.woken; })) {
            // Nobody claimed this worker, so no job is waiting for it.
            std::erase(idle_, &self);
            break;
        }
    }
    std::erase(workers_, &worker);
    freeIdleRecords_.push_back(&self);
    currentPool_ = nullptr;
    currentWorker_ = nullptr;
    --threads_;
    exited_.notify_all();
}

void WorkerPool::timerLoop() {
    nameThisThread("orvane-timer");
    std::unique_lock lock(mutex_);
    std::uint64_t progressSeen = 0;
    Clock::time_point lastCheck;
    while (!stopping_) {
        const auto now = Clock::now();
        if (!timed_.empty() && timed_.begin()->first.first <= now) {
            std::vector<Job> due;
            while (!timed_.empty() && timed_.begin()->first.first <= now) {
                due.push_back(std::move(timed_.begin()->second));
                timed_.erase(timed_.begin());
            }
            lock.unlock();
            for (const Job& handOff : due) {
                runJob(handOff);
            }
            due.clear();
            lock.lock();
            continue;
        }

        // Queued work with no idle worker: if no job has been taken for a
        // whole interval and some running job is not using the CPU, it blocks
        // where the pool cannot see, so add a worker. Busy jobs never do.
        const bool stalled = needsStallWatchLocked();
        if (stalled && (!timerWatching_ || jobsTaken_ != progressSeen)) {
            progressSeen = jobsTaken_;
            lastCheck = now;
            someWorkerLooksBlockedLocked(limits_.stallInterval);  // takes the CPU samples
        } else if (stalled && now - lastCheck >= limits_.stallInterval) {
            if (someWorkerLooksBlockedLocked(std::chrono::duration_cast<std::chrono::nanoseconds>(now - lastCheck))) {
                startWorkerLocked();
            }
            lastCheck = now;
        }
        timerWatching_ = stalled;

        std::optional<Clock::time_point> wake;
        if (!timed_.empty()) {
            wake = timed_.begin()->first.first;
        }
        if (timerWatching_) {
            wake = std::min(wake.value_or(Clock::time_point::max()), lastCheck + limits_.stallInterval);
        }
        if (wake) {
            timerWake_.wait_until(lock, *wake);
        } else if (timerWake_.wait_for(lock, limits_.idleTimeout) == std::cv_status::timeout &&
                   timed_.empty() && !needsStallWatchLocked()) {
            break;
        }
    }
    timerRunning_ = false;
    timerWatching_ = false;
    exited_.notify_all();
}

BlockingScope::BlockingScope() : counted_(WorkerPool::currentPool_ != nullptr) {
    if (counted_) {
        WorkerPool::currentPool_->blockingBegan();
    }
}

BlockingScope::~BlockingScope() {
    if (counted_) {
        WorkerPool::currentPool_->blockingEnded();
    }
}

}  // namespace orvane
