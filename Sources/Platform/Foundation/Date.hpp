// Date: a point in time, measured in seconds as a double, as the platform does.
//
// Two epochs matter: the Unix epoch (1970-01-01 UTC) and the reference date
// (2001-01-01 UTC) that property lists and keyed archives count from.
// Plain value type; safe to share between threads.
#pragma once

#include <chrono>
#include <compare>
#include <cstddef>
#include <functional>

namespace orvane {

class Date {
public:
    // Seconds between 1970-01-01 and 2001-01-01, both UTC.
    static constexpr double timeIntervalBetween1970AndReferenceDate = 978307200.0;

    // The Unix epoch.
    constexpr Date() = default;

    static Date now();
    static constexpr Date fromTimeIntervalSince1970(double seconds) { return Date(seconds); }
    static constexpr Date fromTimeIntervalSinceReferenceDate(double seconds) {
        return Date(seconds + timeIntervalBetween1970AndReferenceDate);
    }

    constexpr double timeIntervalSince1970() const { return secondsSince1970_; }
    constexpr double timeIntervalSinceReferenceDate() const {
        return secondsSince1970_ - timeIntervalBetween1970AndReferenceDate;
    }
    constexpr double timeIntervalSince(const Date& other) const {
        return secondsSince1970_ - other.secondsSince1970_;
    }
    constexpr Date addingTimeInterval(double seconds) const { return Date(secondsSince1970_ + seconds); }

    friend constexpr bool operator==(const Date&, const Date&) = default;
    friend constexpr auto operator<=>(const Date&, const Date&) = default;

private:
    constexpr explicit Date(double secondsSince1970) : secondsSince1970_(secondsSince1970) {}

    double secondsSince1970_ = 0;
};

}  // namespace orvane

template <>
struct std::hash<orvane::Date> {
    std::size_t operator()(const orvane::Date& date) const noexcept {
        return std::hash<double>{}(date.timeIntervalSince1970());
    }
};
