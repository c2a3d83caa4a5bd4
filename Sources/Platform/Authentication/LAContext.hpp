// LAContext: one biometric authentication context, and the platform that
// makes them — the operations TouchID is written against.
//
// - LAAuthenticationPlatform::systemOffersService: whether this system has a
//   biometric service at all (TouchID asks before making any context).
// - makeContext: a fresh context; nothing is shared between contexts.
// - LAContext::canEvaluatePolicy: nothing when the policy can be evaluated
//   now, else the reason as an LAError-domain error.
// - setLocalizedFallbackTitle: the title of the prompt's fallback button.
// - evaluatePolicy: starts one evaluation and returns at once; `reply` runs
//   exactly once, later, on a thread of the context's choosing (never the
//   caller's), with the success flag and an error when it failed. The
//   evaluation goes on when the caller drops the context.
//
// Thread safety: a context is used by one thread at a time; the platform's
// operations may be called from any thread.
//
//   auto context = platform->makeContext();
//   if (auto error = context->canEvaluatePolicy(orvane::LAPolicy::deviceOwnerAuthenticationWithBiometrics)) { ... }
#pragma once

#include "Platform/Foundation/NSError.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvane {

enum class LAPolicy : int { deviceOwnerAuthenticationWithBiometrics = 1 };

class LAContext {
public:
    using Reply = std::function<void(bool success, std::optional<NSError> error)>;

    virtual ~LAContext() = default;

    virtual std::optional<NSError> canEvaluatePolicy(LAPolicy policy) = 0;
    virtual void setLocalizedFallbackTitle(std::string title) = 0;
    virtual void evaluatePolicy(LAPolicy policy, std::string localizedReason, Reply reply) = 0;
};

class LAAuthenticationPlatform {
public:
    virtual ~LAAuthenticationPlatform() = default;

    virtual bool systemOffersService() = 0;
    virtual std::unique_ptr<LAContext> makeContext() = 0;
};

}  // namespace orvane
