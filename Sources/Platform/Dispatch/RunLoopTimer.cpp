// A scheduled timer is a GLib source on the default main context with a ready
// time (microseconds on the monotonic clock). Firings stay on the grid
// scheduling time + k × interval; a firing missed because the loop was busy
// is skipped, not made up. GLib rounds the poll timeout up to whole
// milliseconds, so a firing may come up to about a millisecond late, never
// early.
#include "Platform/Dispatch/RunLoopTimer.hpp"

#include "Platform/Dispatch/MainContext.hpp"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace orvane {

struct RunLoopTimer::Schedule {
    GSource* source = nullptr;
    gint64 interval = 0;  // microseconds
    gint64 nextFire = 0;  // monotonic microseconds

    // fire: the source's callback. The callback data is the source's strong
    // reference to the timer.
    static gboolean fire(gpointer data) {
        const std::shared_ptr<RunLoopTimer> timer = *static_cast<std::shared_ptr<RunLoopTimer>*>(data);
        timer->fire();  // `timer` keeps it alive even if the action invalidates it
        return G_SOURCE_CONTINUE;
    }

    static void release(gpointer data) { delete static_cast<std::shared_ptr<RunLoopTimer>*>(data); }

    static gboolean dispatch(GSource*, GSourceFunc callback, gpointer data) { return callback(data); }
};

namespace {

constexpr gint64 minimumInterval = 1000;  // one millisecond, in microseconds

gint64 intervalInMicroseconds(double seconds) {
    if (!(seconds * 1e6 >= static_cast<double>(minimumInterval))) {  // also NaN
        return minimumInterval;
    }
    // A year is far beyond any use, and keeps the arithmetic below in range.
    return static_cast<gint64>(std::llround(std::min(seconds, 365.0 * 24 * 3600) * 1e6));
}

}  // namespace

std::shared_ptr<RunLoopTimer> RunLoopTimer::make(double timeInterval, bool repeats, Action action) {
    return std::shared_ptr<RunLoopTimer>(new RunLoopTimer(timeInterval, repeats, std::move(action)));
}

RunLoopTimer::RunLoopTimer(double timeInterval, bool repeats, Action action)
    : timeInterval_(timeInterval), repeats_(repeats), action_(std::move(action)) {}

RunLoopTimer::~RunLoopTimer() {
    // A scheduled timer is owned by its source, so normally none is left here.
    if (schedule_) {
        g_source_destroy(schedule_->source);
        g_source_unref(schedule_->source);
    }
}

void RunLoopTimer::scheduleOnMainRunLoop() {
    if (!isValid() || schedule_) {
        return;
    }
    static GSourceFuncs funcs = {nullptr, nullptr, &Schedule::dispatch, nullptr, nullptr, nullptr};
    auto schedule = std::make_unique<Schedule>();
    schedule->source = g_source_new(&funcs, sizeof(GSource));
    schedule->interval = intervalInMicroseconds(timeInterval_);
    schedule->nextFire = g_get_monotonic_time() + schedule->interval;
    g_source_set_name(schedule->source, "orvane run-loop timer");
    g_source_set_ready_time(schedule->source, schedule->nextFire);
    g_source_set_callback(schedule->source, &Schedule::fire,
                          new std::shared_ptr<RunLoopTimer>(shared_from_this()), &Schedule::release);
    schedule_ = std::move(schedule);
    g_source_attach(schedule_->source, mainContext());
}

void RunLoopTimer::invalidate() {
    const auto keepAlive = weak_from_this().lock();  // the source may hold the last reference
    if (!valid_.exchange(false)) {
        return;
    }
    Action released = std::move(action_);
    action_ = nullptr;
    if (schedule_) {
        g_source_destroy(schedule_->source);
        g_source_unref(schedule_->source);
        schedule_.reset();
    }
}

bool RunLoopTimer::isValid() const {
    return valid_.load();
}

void RunLoopTimer::fire() noexcept {
    if (!isValid() || !schedule_) {
        return;
    }
    if (repeats_) {
        // The next firing stays on the grid, skipping the ones already missed.
        const gint64 now = g_get_monotonic_time();
        Schedule& schedule = *schedule_;
        schedule.nextFire += schedule.interval;
        if (schedule.nextFire <= now) {
            schedule.nextFire += ((now - schedule.nextFire) / schedule.interval + 1) * schedule.interval;
        }
        g_source_set_ready_time(schedule.source, schedule.nextFire);
    }
    // Moved out for the call, so that invalidating from inside the action
    // releases it only once the call has returned.
    Action action = std::move(action_);
    action_ = nullptr;
    if (action) {
        action(*this);
    }
    if (!repeats_) {
        invalidate();
    } else if (isValid()) {
        action_ = std::move(action);
    }
}

}  // namespace orvane
