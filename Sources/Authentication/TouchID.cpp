#include "Authentication/TouchID.hpp"

#include <utility>

namespace orvane {

namespace {

constexpr LAPolicy biometricsPolicy = LAPolicy::deviceOwnerAuthenticationWithBiometrics;

}  // namespace

std::shared_ptr<TouchID> TouchID::create() {
    return create(systemAuthenticationPlatform());
}

std::shared_ptr<TouchID> TouchID::create(std::shared_ptr<LAAuthenticationPlatform> platform) {
    return std::shared_ptr<TouchID>(new TouchID(std::move(platform)));
}

TouchID::TouchID(std::shared_ptr<LAAuthenticationPlatform> platform) : platform_(std::move(platform)) {}

Result<LAPolicy, TouchIDError> TouchID::availablePolicy() const {
    using PolicyResult = Result<LAPolicy, TouchIDError>;
    if (!platform_ || !platform_->systemOffersService()) {
        return PolicyResult::failure(TouchIDError(TouchIDErrorCase::systemNotSupported));
    }
    std::optional<NSError> error;
    {
        const auto context = platform_->makeContext();
        error = context->canEvaluatePolicy(biometricsPolicy);
    }
    // Only the presence of an error decides.
    if (error) {
        return PolicyResult::failure(TouchIDError::fromLAError(*error));
    }
    return PolicyResult::success(biometricsPolicy);
}

TouchIDState TouchID::state() const {
    return TouchIDState::fromResult(availablePolicy());
}

bool TouchID::isEnabled() const {
    return availablePolicy().isSuccess();
}

void TouchID::authorize(std::string localizedReason, std::string fallbackTitle, Reply reply) {
    const auto policy = availablePolicy();
    if (const auto error = policy.error()) {
        reply(Result<void, TouchIDError>::failure(*error));
        return;
    }
    if (authenticating_.load()) {
        reply(Result<void, TouchIDError>::failure(TouchIDError(TouchIDErrorCase::pendingAuthorization)));
        return;
    }
    authenticating_.store(true);

    auto context = platform_->makeContext();
    context->setLocalizedFallbackTitle(std::move(fallbackTitle));
    context->evaluatePolicy(
        *policy.value(), std::move(localizedReason),
        [self = shared_from_this(), reply = std::move(reply)](bool success, std::optional<NSError> error) {
            self->authenticating_.store(false);
            if (error) {
                reply(Result<void, TouchIDError>::failure(TouchIDError::fromLAError(*error)));
            } else if (success) {
                reply(Result<void, TouchIDError>::success());
            } else {
                reply(Result<void, TouchIDError>::failure(TouchIDError(TouchIDErrorCase::unknownError)));
            }
        });
}

}  // namespace orvane

#if !ORVANE_WITH_FPRINTD
namespace orvane {

// A build without fprintd has no biometric service: TouchID answers systemNotSupported.
std::shared_ptr<LAAuthenticationPlatform> systemAuthenticationPlatform() {
    return nullptr;
}

}  // namespace orvane
#endif
