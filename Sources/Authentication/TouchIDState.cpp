#include "Authentication/TouchIDState.hpp"

#include <array>
#include <utility>

namespace orvane {

namespace {

constexpr std::array<std::pair<TouchIDState::Value, std::string_view>, 6> names{{
    {TouchIDState::ok, "ok"},
    {TouchIDState::hardwareUnavailable, "hardwareUnavailable"},
    {TouchIDState::hardwareLockout, "hardwareLockout"},
    {TouchIDState::hardwareNotConfigured, "hardwareNotConfigured"},
    {TouchIDState::systemNotSupported, "systemNotSupported"},
    {TouchIDState::unknown, "unknown"},
}};

}  // namespace

TouchIDState TouchIDState::fromResult(const Result<LAPolicy, TouchIDError>& result) {
    const auto error = result.error();
    if (!error) {
        return TouchIDState::ok;
    }
    switch (error->errorCase()) {
        case TouchIDErrorCase::hardwareUnavailable:
            return TouchIDState::hardwareUnavailable;
        case TouchIDErrorCase::hardwareNotConfigured:
            return TouchIDState::hardwareNotConfigured;
        case TouchIDErrorCase::hardwareLockout:
            return TouchIDState::hardwareLockout;
        case TouchIDErrorCase::systemNotSupported:
            return TouchIDState::systemNotSupported;
        case TouchIDErrorCase::pendingAuthorization:
        case TouchIDErrorCase::underlyingError:
        case TouchIDErrorCase::unknownError:
            return TouchIDState::unknown;
    }
    return TouchIDState::unknown;
}

std::optional<TouchIDState> TouchIDState::fromRawValue(std::string_view rawValue) {
    for (const auto& [state, name] : names) {
        if (name == rawValue) {
            return state;
        }
    }
    return std::nullopt;
}

std::string_view TouchIDState::rawValue() const {
    for (const auto& [candidate, name] : names) {
        if (candidate == value_) {
            return name;
        }
    }
    return "unknown";
}

}  // namespace orvane
