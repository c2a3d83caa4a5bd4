// ServiceTimer: calls its callback every timeInterval seconds on the main
// thread, through a repeating RunLoopTimer on the main run loop (the GLib
// default main context), until it is stopped.
//
// - start() schedules a timer, first firing one interval later, unless one is
//   already running (then nothing changes, not even the interval).
// - stop() invalidates the timer; restart() is stop() then start(), so it
//   always schedules a new timer with the current interval.
// - setTimeInterval() with a different value restarts, which also starts a
//   stopped timer; the same value changes nothing.
// - The callback is read at each firing; with none, a firing does nothing.
// An interval below one millisecond runs as one millisecond.
//
// Ownership: while scheduled, the run loop holds the timer and the timer's
// action holds this ServiceTimer strongly, so a started ServiceTimer keeps
// firing after its owners release it, until stop(). The ServiceTimer refers to
// its run-loop timer only weakly. Destroying a ServiceTimer invalidates a
// timer it still refers to.
//
// Thread safety: none of its own; start, stop, restart and the setters belong
// on the main thread, where the firings run.
//
//   auto refresh = orvane::ServiceTimer::create(60.0, "Vault refresh");
//   refresh->setCallback([] { reloadVault(); });
//   refresh->start();
//   ...
//   refresh->stop();
#pragma once

#include "Concurrency/ServiceTimerProviding.hpp"
#include "Platform/Dispatch/RunLoopTimer.hpp"

#include <memory>
#include <string>

namespace orvane {

class ServiceTimer final : public ServiceTimerProviding, public std::enable_shared_from_this<ServiceTimer> {
    struct Token {
        explicit Token() = default;
    };

public:
    static std::shared_ptr<ServiceTimer> create(double timeInterval, std::string name = "Service Timer");

    ServiceTimer(Token, double timeInterval, std::string name);
    ~ServiceTimer() override;
    ServiceTimer(const ServiceTimer&) = delete;
    ServiceTimer& operator=(const ServiceTimer&) = delete;

    bool isValid() const override;
    double timeInterval() const override { return timeInterval_; }
    void setTimeInterval(double timeInterval) override;
    Callback callback() const override { return callback_; }
    void setCallback(Callback callback) override;
    void start() override;
    void stop() override;
    void restart() override;

    // A label; nothing here reads it.
    const std::string& name() const { return name_; }

    // The run-loop timer's action: calls the callback, if one is set.
    void onTimerFired(RunLoopTimer& timer);

private:
    std::weak_ptr<RunLoopTimer> timer_;
    std::string name_;
    Callback callback_;
    double timeInterval_;
};

}  // namespace orvane
