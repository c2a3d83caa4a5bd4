// The default store installs the platform adaptor. Kept apart from
// Keychain.cpp so that a build without the platform keychain leaves this file
// out and constructs its Keychain over another adaptor.
#include "Keychain/Keychain.hpp"
#include "Keychain/SecKeychainProxy.hpp"

#include <memory>

namespace orvane {

Keychain::Keychain() : Keychain(std::make_shared<SecKeychainProxy>()) {}

Keychain::Keychain(std::chrono::milliseconds timeout)
    : Keychain(std::make_shared<SecKeychainProxy>(timeout)) {}

}  // namespace orvane
