// FprintdAuthenticationPlatform: the biometric authentication platform over
// fprintd (net.reactivated.Fprint) on the system bus.
//
// How the context operations map onto fprintd:
// - systemOffersService: the system bus answers and net.reactivated.Fprint
//   is owned (NameHasOwner) or activatable (ListActivatableNames).
// - canEvaluatePolicy: Manager.GetDefaultDevice, then the device's
//   ListEnrolledFingers(""), then the process's lockout.
// - evaluatePolicy: Claim(""), subscribe to VerifyStatus (sender
//   net.reactivated.Fprint, the device's path) before VerifyStart("any"),
//   then wait for the result; a no-match starts another try, up to
//   `triesPerAuthorization`. VerifyStop and Release are called on every way
//   out that got that far (unless fprintd left the bus meanwhile).
//
// Errors, in the LAError domain:
//   no device (NoSuchDevice), no bus, fprintd unreachable or
//     not answering a query within the bound                 -6 biometryNotAvailable
//   no fingerprint enrolled (NoEnrolledPrints, empty list)   -7 biometryNotEnrolled
//   locked out (see below)                                   -8 biometryLockout
//   every try ended in verify-no-match                       -1 authenticationFailed
//   cancelled through the prompt presenter                   -2 userCancel
//   timeout, verify-disconnected, verify-unknown-error,
//     fprintd left the bus, AlreadyInUse (another program
//     holds the reader), a call not answered in time         -4 systemCancel
//   PermissionDenied (polkit refused, e.g. a remote session) -11 notInteractive
//
// Lockout: fprintd has none of its own. This process counts consecutive
// verify-no-match results over every authorization; at `lockoutThreshold`
// the evaluation ends with -8 and every check answers -8 until
// `lockoutCoolDown` has passed (the count then starts again). A match resets
// the count. Another process has its own count: this guards against guessing
// through this application, not against a hostile local program.
//
// Bounds: each query (systemOffersService, canEvaluatePolicy) and each call of
// an evaluation answers within `callTimeout` (plus a second's grace for a
// call that ignores cancellation), even when fprintd hangs or is being
// activated. An evaluation ends after `verifyTimeout` at the latest.
//
// Threads: queries run on the caller's thread. An evaluation runs as one job
// on the global dispatch queue (the shared worker pool, which grows while the
// job waits for a finger), iterating a private main context; the completion,
// the presenter's show and dismiss run on that worker thread. The bus
// connection (a private one, exit-on-close off) is shared by the process and
// reopened when it closes or DBUS_SYSTEM_BUS_ADDRESS changes.
//
//   auto platform = orvane::FprintdAuthenticationPlatform::create({.verifyTimeout = 10s});
//   auto touchID = orvane::TouchID::create(platform);
#pragma once

#include "Platform/Authentication/LAContext.hpp"

#include <chrono>
#include <memory>

namespace orvane {

struct FprintdConfiguration {
    std::chrono::milliseconds callTimeout{3000};
    std::chrono::milliseconds verifyTimeout{30000};
    int triesPerAuthorization = 3;
    int lockoutThreshold = 5;
    std::chrono::milliseconds lockoutCoolDown{60000};
};

class FprintdAuthenticationPlatform : public LAAuthenticationPlatform {
public:
    static std::shared_ptr<FprintdAuthenticationPlatform> create(FprintdConfiguration configuration = {});

    bool systemOffersService() override;
    std::unique_ptr<LAContext> makeContext() override;

    const FprintdConfiguration& configuration() const { return configuration_; }

private:
    explicit FprintdAuthenticationPlatform(FprintdConfiguration configuration);

    FprintdConfiguration configuration_;
};

}  // namespace orvane
