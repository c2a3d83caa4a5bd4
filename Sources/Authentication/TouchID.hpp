// TouchID: asks the user to confirm an action with a fingerprint, over a
// biometric authentication platform (fprintd on the system bus by default).
//
// Every query makes a fresh authentication context; nothing is cached. The
// policy check comes first everywhere: a system without the service gives
// systemNotSupported (no context is made); otherwise the context's
// canEvaluatePolicy error, reduced by TouchIDError::fromLAError, decides.
// authorize replies at once, on the calling thread, when the check fails or an
// authorization is already running (pendingAuthorization); otherwise it hands
// the evaluation to a new context and the reply comes from the context's
// completion: success, the reduced error, or unknownError for "no success
// and no error".
//
// Threads: make the calls of authorize from one thread (the flag that keeps a
// second prompt away is set there and cleared by the completion, which runs
// on a library thread — never the main thread, never the caller's). The
// completion holds the TouchID and the reply until it has run. `reply` is not
// moved to another thread: hop to the main queue yourself before touching the
// user interface. state and isEnabled may be called from any thread and
// answer within the platform's bound.
//
//   auto touchID = orvane::TouchID::create();
//   touchID->authorize("Unlock the vault", "Use password", [](auto result) {
//       orvane::DispatchQueue::main()->async([ok = result.isSuccess()] { ... });
//   });
#pragma once

#include "Authentication/TouchIDProxy.hpp"
#include "Platform/Authentication/LAContext.hpp"

#include <atomic>
#include <memory>

namespace orvane {

class TouchID : public TouchIDProxy, public std::enable_shared_from_this<TouchID> {
public:
    // init(): over the system's platform (fprintd, or none in a build without it).
    static std::shared_ptr<TouchID> create();
    // Over another platform (tests, other systems).
    static std::shared_ptr<TouchID> create(std::shared_ptr<LAAuthenticationPlatform> platform);

    TouchIDState state() const override;
    bool isEnabled() const override;
    void authorize(std::string localizedReason, std::string fallbackTitle, Reply reply) override;

private:
    explicit TouchID(std::shared_ptr<LAAuthenticationPlatform> platform);

    Result<LAPolicy, TouchIDError> availablePolicy() const;

    std::shared_ptr<LAAuthenticationPlatform> platform_;
    // Read and set by authorize on the calling thread, cleared by the completion.
    std::atomic<bool> authenticating_{false};
};

// The platform TouchID::create() uses: fprintd when this build has it, else
// one that offers no service.
std::shared_ptr<LAAuthenticationPlatform> systemAuthenticationPlatform();

}  // namespace orvane
