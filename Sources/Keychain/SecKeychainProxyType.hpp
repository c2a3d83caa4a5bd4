// SecKeychainProxyType: the narrow interface through which the secure-item
// store (Keychain) reaches a keychain.
//
// Six operations, all synchronous, each a self-contained exchange with the
// keychain. Items are generic passwords addressed by account and service.
//   1. fetchItem(account, service): the item's handle, or nothing when there
//      is no such item (not an error).
//   2. fetchData(account, service): the item's bytes, or nothing when there
//      is no such item. An empty item yields an empty Data.
//   3. deleteItem(account, service): afterwards no such item exists;
//      deleting a missing item succeeds.
//   4. addItem(account, service, name, descriptor, aclPaths, data): creates
//      the item with label `name`, an access record named `descriptor` (or
//      `account` when empty) trusting the applications at `aclPaths`, and the
//      bytes. Never replaces: an existing item makes it fail. Paths are
//      turned into identities first, so a bad path fails before any write.
//   5. trustedApplicationsData(item): the identity blob of every application
//      the item trusts, in entry order, repeats kept; empty when its access
//      admits every application.
//   6. trustedApplicationsData(paths): the identity blob of the application
//      at each path, in order. For one application, 5 and 6 yield equal
//      bytes (see TrustedApplicationIdentity).
//
// Failures are thrown. A platform adaptor throws the NSError made by
// SecKeychainError.hpp (domain "Seckeychain", code -1, the message with the
// failing status under NSDebugDescriptionErrorKey); a substitute may throw
// any error, and the store passes it on untouched. The statuses below are
// numbered as the platform keychain numbers them. No secret appears in any
// error message.
//
// Thread safety: an adaptor may be called from any thread; implementations
// make that safe themselves.
//
//   std::shared_ptr<orvane::SecKeychainProxyType> proxy = ...;
//   proxy->addItem("alice", "com.example.vault", "Vault", "", {"/usr/bin/vault"}, secret);
//   if (auto bytes = proxy->fetchData("alice", "com.example.vault")) { ... }
#pragma once

#include "Keychain/SecKeychainError.hpp"
#include "Keychain/SecKeychainItem.hpp"
#include "Platform/Foundation/Data.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// Keychain status codes.
using OSStatus = std::int32_t;
inline constexpr OSStatus errSecSuccess = 0;
// No item matches the account and service.
inline constexpr OSStatus errSecItemNotFound = -25300;
// An item with that account and service already exists.
inline constexpr OSStatus errSecDuplicateItem = -25299;
// No keychain service can be reached.
inline constexpr OSStatus errSecNotAvailable = -25291;
// The keychain is locked and could not be unlocked.
inline constexpr OSStatus errSecAuthFailed = -25293;
// An item handle that no longer refers to an item.
inline constexpr OSStatus errSecInvalidItemRef = -25304;
// An argument the keychain cannot take (a path with an embedded NUL, or not absolute).
inline constexpr OSStatus errSecParam = -50;
// A file-system failure: no file at an application path, or it cannot be resolved.
inline constexpr OSStatus errSecIO = -36;

class SecKeychainProxyType {
public:
    SecKeychainProxyType() = default;
    SecKeychainProxyType(const SecKeychainProxyType&) = delete;
    SecKeychainProxyType& operator=(const SecKeychainProxyType&) = delete;
    virtual ~SecKeychainProxyType() = default;

    virtual std::optional<SecKeychainItem> fetchItem(const std::string& account,
                                                     const std::string& service) = 0;
    virtual std::optional<Data> fetchData(const std::string& account, const std::string& service) = 0;
    virtual void deleteItem(const std::string& account, const std::string& service) = 0;
    virtual void addItem(const std::string& account, const std::string& service, const std::string& name,
                         const std::string& descriptor, const std::vector<std::string>& aclPaths,
                         const Data& data) = 0;
    virtual std::vector<Data> trustedApplicationsData(const SecKeychainItem& item) = 0;
    virtual std::vector<Data> trustedApplicationsData(const std::vector<std::string>& paths) = 0;
};

}  // namespace orvane
