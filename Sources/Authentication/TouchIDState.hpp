// TouchIDState: whether fingerprint authorization is possible now, and if
// not, why. Raw values are the case names, matched exactly (case-sensitive).
//
// fromResult reduces a policy check: success is ok; the hardware and system
// failures keep their name; pendingAuthorization, underlyingError and
// unknownError are unknown.
//
// Plain value; safe to share.
//
//   orvane::TouchIDState::fromRawValue("hardwareLockout");   // hardwareLockout
//   orvane::TouchIDState::fromRawValue("HardwareLockout");   // nothing
#pragma once

#include "Authentication/TouchIDError.hpp"
#include "Core/Result.hpp"
#include "Platform/Authentication/LAContext.hpp"

#include <functional>
#include <optional>
#include <string_view>

namespace orvane {

class TouchIDState {
public:
    enum Value { ok, hardwareUnavailable, hardwareLockout, hardwareNotConfigured, systemNotSupported, unknown };

    constexpr TouchIDState(Value value) noexcept : value_(value) {}
    constexpr operator Value() const noexcept { return value_; }

    // init(result:)
    static TouchIDState fromResult(const Result<LAPolicy, TouchIDError>& result);
    // init(rawValue:): one of the six names, exactly.
    static std::optional<TouchIDState> fromRawValue(std::string_view rawValue);
    std::string_view rawValue() const;

private:
    Value value_;
};

}  // namespace orvane

template <>
struct std::hash<orvane::TouchIDState> {
    std::size_t operator()(orvane::TouchIDState state) const noexcept {
        return std::hash<int>{}(static_cast<int>(static_cast<orvane::TouchIDState::Value>(state)));
    }
};
