// TouchIDError: why a fingerprint authorization could not run or did not succeed.
//
//   hardwareUnavailable (0), hardwareNotConfigured (1), hardwareLockout (2),
//   systemNotSupported (3), pendingAuthorization (4), underlyingError (5),
//   unknownError (6).
//
// underlyingError owns the platform error that caused it; bridged to NSError
// (domain "TarvelOrvane.TouchIDError") it carries that error under
// NSUnderlyingErrorKey, the other cases carry no user information.
// fromLAError reduces an authentication context's error to a case by its code
// (-6, -7, -8, anything else wrapped); fromNSError undoes the bridge and gives
// nothing for a foreign domain, an unknown code or a code 5 without an error
// under the key.
//
// Immutable value; safe to share between threads.
//
//   auto error = orvane::TouchIDError::fromLAError(orvane::LAError(orvane::LAErrorCode::biometryLockout));
//   error.errorCase();   // hardwareLockout
#pragma once

#include "Platform/Foundation/Error.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <memory>
#include <optional>
#include <string_view>

namespace orvane {

enum class TouchIDErrorCase {
    hardwareUnavailable,
    hardwareNotConfigured,
    hardwareLockout,
    systemNotSupported,
    pendingAuthorization,
    underlyingError,
    unknownError,
};

class TouchIDError : public EnumeratedError<TouchIDError, TouchIDErrorCase> {
public:
    static constexpr std::string_view typeName = "TouchIDError";

    // A case without payload; underlyingError needs the factory below.
    explicit TouchIDError(Case errorCase);
    static TouchIDError underlyingError(NSError error);

    // init(error:): an authentication context's error, read by its code.
    static TouchIDError fromLAError(const NSError& error);
    // init?(error:): the inverse of toNSError().
    static std::optional<TouchIDError> fromNSError(const NSError& error);

    // The error carried by underlyingError; null for the other cases.
    const std::shared_ptr<NSError>& underlying() const noexcept { return underlying_; }

    ObjectDictionary userInfo() const override;

    friend bool operator==(const TouchIDError& lhs, const TouchIDError& rhs);

private:
    TouchIDError(Case errorCase, std::shared_ptr<NSError> underlying);

    std::shared_ptr<NSError> underlying_;
};

}  // namespace orvane
