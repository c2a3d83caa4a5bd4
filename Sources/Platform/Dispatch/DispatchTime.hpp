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

    // A deadline `seconds` after this one (negative seconds go back; a NaN
    // counts as zero).
    friend DispatchTime operator+(DispatchTime time, double seconds) {
        if (seconds != seconds) {
            return time;
        }
        return DispatchTime{time.uptime + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(seconds))};
    }

    friend bool operator==(const DispatchTime&, const DispatchTime&) = default;
    friend auto operator<=>(const DispatchTime&, const DispatchTime&) = default;
};

}  // namespace orvane
