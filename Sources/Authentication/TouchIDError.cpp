#include "Authentication/TouchIDError.hpp"

#include "Platform/Authentication/LAError.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"

#include <string>
#include <utility>

namespace orvane {

namespace {

const char* caseName(TouchIDErrorCase errorCase) {
    switch (errorCase) {
        case TouchIDErrorCase::hardwareUnavailable:
            return "hardwareUnavailable";
        case TouchIDErrorCase::hardwareNotConfigured:
            return "hardwareNotConfigured";
        case TouchIDErrorCase::hardwareLockout:
            return "hardwareLockout";
        case TouchIDErrorCase::systemNotSupported:
            return "systemNotSupported";
        case TouchIDErrorCase::pendingAuthorization:
            return "pendingAuthorization";
        case TouchIDErrorCase::underlyingError:
            return "underlyingError";
        case TouchIDErrorCase::unknownError:
            return "unknownError";
    }
    return "unknownError";
}

}  // namespace

TouchIDError::TouchIDError(Case errorCase) : TouchIDError(errorCase, nullptr) {}

TouchIDError::TouchIDError(Case errorCase, std::shared_ptr<NSError> underlying)
    : EnumeratedError(errorCase), underlying_(std::move(underlying)) {
    std::string summary = std::string("TouchIDError.") + caseName(errorCase);
    if (underlying_) {
        summary += ": " + underlying_->localizedDescription();
    }
    setSummary(std::move(summary));
}

TouchIDError TouchIDError::underlyingError(NSError error) {
    return TouchIDError(Case::underlyingError, std::make_shared<NSError>(std::move(error)));
}

TouchIDError TouchIDError::fromLAError(const NSError& error) {
    switch (error.code()) {
        case static_cast<std::int64_t>(LAErrorCode::biometryNotAvailable):
            return TouchIDError(Case::hardwareUnavailable);
        case static_cast<std::int64_t>(LAErrorCode::biometryNotEnrolled):
            return TouchIDError(Case::hardwareNotConfigured);
        case static_cast<std::int64_t>(LAErrorCode::biometryLockout):
            return TouchIDError(Case::hardwareLockout);
        default:
            return underlyingError(error);
    }
}

std::optional<TouchIDError> TouchIDError::fromNSError(const NSError& error) {
    if (error.domain() != moduleQualifiedName(typeName)) {
        return std::nullopt;
    }
    switch (error.code()) {
        case 0:
            return TouchIDError(Case::hardwareUnavailable);
        case 1:
            return TouchIDError(Case::hardwareNotConfigured);
        case 2:
            return TouchIDError(Case::hardwareLockout);
        case 3:
            return TouchIDError(Case::systemNotSupported);
        case 4:
            return TouchIDError(Case::pendingAuthorization);
        case 5: {
            const auto& info = error.userInfoReference();
            const auto entry = info.find(NSUnderlyingErrorKey);
            if (entry == info.end()) {
                return std::nullopt;
            }
            auto underlying = entry->second.as<std::shared_ptr<NSError>>();
            if (!underlying || !*underlying) {
                return std::nullopt;
            }
            return TouchIDError(Case::underlyingError, std::move(*underlying));
        }
        case 6:
            return TouchIDError(Case::unknownError);
        default:
            return std::nullopt;
    }
}

ObjectDictionary TouchIDError::userInfo() const {
    if (!underlying_) {
        return {};
    }
    ObjectDictionary info;
    info.emplace(std::string(NSUnderlyingErrorKey), Object(underlying_));
    return info;
}

bool operator==(const TouchIDError& lhs, const TouchIDError& rhs) {
    if (lhs.errorCase() != rhs.errorCase()) {
        return false;
    }
    if (!lhs.underlying_ || !rhs.underlying_) {
        return lhs.underlying_ == rhs.underlying_;
    }
    return *lhs.underlying_ == *rhs.underlying_;
}

}  // namespace orvane
