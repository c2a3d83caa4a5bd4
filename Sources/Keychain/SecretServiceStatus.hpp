// SecretServiceStatus: how the Secret Service adaptor turns what the bus and
// the service answer into keychain statuses. Internal to the adaptor.
//
// Each exchange that fails throws a Failure with its status; each public
// operation of SecKeychainProxy turns that into its own Seckeychain error.
#pragma once

#include "Keychain/SecKeychainProxyType.hpp"
#include "Platform/GLib/BoundedWait.hpp"

#include <initializer_list>
#include <string>

namespace orvane::secretservice {

// Statuses beyond those every adaptor shares, numbered as the platform keychain numbers them.
namespace status {
inline constexpr OSStatus unimplemented = -4;
inline constexpr OSStatus noSuchKeychain = -25294;
inline constexpr OSStatus decode = -26275;
inline constexpr OSStatus internalComponent = -2070;
}  // namespace status

// Failure: an exchange with the service failed with this status.
struct Failure {
    OSStatus status;
};

// statusOf: the keychain status for a failed call. A call cut short by the
// deadline is a locked keychain when it was waiting for an unlock, and an
// unreachable service otherwise.
OSStatus statusOf(const GError* error, const glib::BoundedWait& wait, bool unlocking = false);

// fail: throws the Failure for `error`, which it frees.
[[noreturn]] void fail(GError* error, const glib::BoundedWait& wait, bool unlocking = false);

// finished: the result of a bounded call, or a Failure with `abandonedStatus`
// when the wait abandoned it at the deadline.
glib::ObjectPtr<GAsyncResult> finished(glib::ObjectPtr<GAsyncResult> result,
                                       OSStatus abandonedStatus = errSecNotAvailable);

// requireText: fails with errSecParam unless every text can travel over
// D-Bus (UTF-8 without NUL bytes).
void requireText(std::initializer_list<const std::string*> texts);

}  // namespace orvane::secretservice
