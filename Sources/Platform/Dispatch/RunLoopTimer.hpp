// RunLoopTimer: a timer scheduled on the main run loop (the GLib default main
// context), firing on the thread that iterates it.
//
// A timer is made unscheduled; scheduleOnMainRunLoop() schedules it, first
// firing one interval later, then every interval when it repeats. While
// scheduled, the main run loop holds the timer (and so its action and
// whatever the action holds) strongly; invalidate() unschedules it and
// releases the action. A non-repeating timer invalidates itself after firing.
// An interval below one millisecond is treated as one millisecond.
//
// Thread safety: make, schedule and invalidate on the main thread, where the
// timer fires; isValid() may be read from any thread.
//
//   auto timer = orvane::RunLoopTimer::make(1.0, true, [](orvane::RunLoopTimer&) { tick(); });
//   timer->scheduleOnMainRunLoop();
//   std::weak_ptr<orvane::RunLoopTimer> weak = timer;   // the loop keeps it alive
#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace orvane {

class RunLoopTimer : public std::enable_shared_from_this<RunLoopTimer> {
public:
    using Action = std::function<void(RunLoopTimer&)>;

    static std::shared_ptr<RunLoopTimer> make(double timeInterval, bool repeats, Action action);
    ~RunLoopTimer();
    RunLoopTimer(const RunLoopTimer&) = delete;
    RunLoopTimer& operator=(const RunLoopTimer&) = delete;

    void scheduleOnMainRunLoop();
    void invalidate();
    bool isValid() const;
    double timeInterval() const { return timeInterval_; }

private:
    RunLoopTimer(double timeInterval, bool repeats, Action action);
    // fire: one firing, called by the scheduled source on the main thread.
    void fire() noexcept;

    struct Schedule;
    double timeInterval_;
    bool repeats_;
    Action action_;
    std::atomic<bool> valid_{true};
    std::unique_ptr<Schedule> schedule_;
};

}  // namespace orvane
