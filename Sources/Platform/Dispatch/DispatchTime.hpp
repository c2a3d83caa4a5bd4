// DispatchTime: a point on the dispatch clock, the monotonic clock that
// deadlines of queued work are measured on (it does not jump with the wall
// clock). `DispatchTime::now() + 0.5` is half a second from now.
// Plain value type; safe to share between threads.
#pragma once

#include <chrono>
#include <compare>

namespace orvane {

struct DispatchTime {
    using Clock = std::chrono::steady_clock;

    Clock::time_point uptime{};

    static DispatchTime now() { return DispatchTime{Clock::now()}; }

    // A deadline that never comes during the life of the process.
    static constexpr DispatchTime distantFuture() { return DispatchTime{Clock::time_point::max()}; }

    // A deadline `seconds` after this one (negative seconds go back). A delay
    // beyond the clock's range, an infinite one or a NaN gives distantFuture();
    // one going back beyond the clock's start gives its start.
    friend DispatchTime operator+(DispatchTime time, double seconds) {
        using Seconds = std::chrono::duration<double>;
        if (seconds != seconds) {
            return distantFuture();
        }
        const double at = Seconds(time.uptime.time_since_epoch()).count();
        const double ahead = Seconds(Clock::time_point::max().time_since_epoch()).count() - at;
        const double behind = Seconds(Clock::time_point::min().time_since_epoch()).count() - at;
        // Compared in double with a margin: the range ends are not exact in it.
        if (seconds >= ahead * 0.999) {
            return distantFuture();
        }
        if (seconds <= behind * 0.999) {
            return DispatchTime{Clock::time_point::min()};
        }
        return DispatchTime{time.uptime + std::chrono::duration_cast<Clock::duration>(Seconds(seconds))};
    }

    friend bool operator==(const DispatchTime&, const DispatchTime&) = default;
    friend auto operator<=>(const DispatchTime&, const DispatchTime&) = default;
};

}  // namespace orvane
