// LAError: the local-authentication error domain and its codes, as the
// authentication contexts report them.
//
// The codes are the platform's negative numbers, -1 to -11; an LAError is the
// platform error object (NSError) of domain "TarvelOrvane.LAError" with one of
// them and, when the context has one, a readable text under
// NSLocalizedDescriptionKey. Contexts may report other codes; readers go by
// the number alone.
//
// Immutable value; safe to share between threads.
//
//   orvane::LAError error(orvane::LAErrorCode::userCancel, "Cancelled by the user");
//   error.code();   // -2
#pragma once

#include "Platform/Foundation/NSError.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

enum class LAErrorCode : std::int64_t {
    authenticationFailed = -1,   // the finger did not match, every try
    userCancel = -2,             // the user cancelled the prompt
    userFallback = -3,           // the user chose the fallback button
    systemCancel = -4,           // the system ended it (timeout, reader gone, reader busy)
    passcodeNotSet = -5,         // no device password
    biometryNotAvailable = -6,   // no reader, or the service cannot be reached
    biometryNotEnrolled = -7,    // no fingerprint enrolled
    biometryLockout = -8,        // too many failed attempts
    appCancel = -9,              // the application cancelled it
    invalidContext = -10,        // the context was already used up
    notInteractive = -11,        // no prompt may be shown (e.g. polkit refused this session)
};

inline constexpr std::string_view LAErrorDomain = "TarvelOrvane.LAError";

class LAError : public NSError {
public:
    explicit LAError(LAErrorCode code, std::string description = {});
};

}  // namespace orvane
